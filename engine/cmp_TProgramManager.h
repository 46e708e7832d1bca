// The Program Manager client: groups and items made by Program Manager's DDE
// commands, on systems without the shell's link interface, and the list of
// its groups for the select-folder page.
#pragma once
#include <string>

#include "classlib/Classes.h"
#include "classlib/DdeMan.h"

// The errors of this unit. Their EAI is this unit's own root, not the install
// errors' EAI of the shared exceptions.
namespace progman {

class EAI : public Exception {
public:
  using Exception::Exception;
};

class EAIPMError : public EAI {
public:
  EAIPMError();

protected:
  explicit EAIPMError(const std::string& Msg) : EAI(Msg) {}
};

class EAIPMCannotOpen : public EAIPMError {
public:
  EAIPMCannotOpen();
};

class EAIPMCannotOpenGroup : public EAIPMError {
public:
  explicit EAIPMCannotOpenGroup(const std::string& AGroup);
  std::string Group;
};

class EAIPMCannotCreateGroup : public EAIPMError {
public:
  explicit EAIPMCannotCreateGroup(const std::string& AGroup);
  std::string Group;
};

class EAIPMCannotAddItem : public EAIPMError {
public:
  EAIPMCannotAddItem(const std::string& AGroup, const std::string& ADescription, const std::string& AArguments);
  std::string Group;
  std::string Description;
  std::string Arguments;
};

class EAIPMCannotReplaceItem : public EAIPMError {
public:
  EAIPMCannotReplaceItem(const std::string& AGroup, const std::string& ADescription);
  std::string Group;
  std::string Description;
};

}  // namespace progman

using progman::EAIPMCannotAddItem;
using progman::EAIPMCannotCreateGroup;
using progman::EAIPMCannotOpen;
using progman::EAIPMCannotOpenGroup;
using progman::EAIPMCannotReplaceItem;
using progman::EAIPMError;

class TProgramManager : public TComponent {
public:
  explicit TProgramManager(TComponent* AOwner);
  ~TProgramManager() override;

  // Opens the link once; EAIPMCannotOpen when Program Manager does not answer.
  virtual void EstablishLinks();

  const std::string& CurrentGroup() const { return FCurrentGroup; }
  // Reads the group's items; a group Program Manager gives no data for leaves
  // CurrentGroup blank.
  void SetCurrentGroup(const std::string& Value);
  // Creates (or opens) the group and makes it current; a blank name does
  // nothing.
  void CreateGroup(const std::string& GroupName);
  // Adds an item to the current group (nothing without one).
  void AddItem(const std::string& CommandLine, const std::string& Description, const std::string& IconFile,
               int IconIndex, const std::string& Directory, const std::string& ShortCut);
  // Marks an item of the current group so that the next item added takes
  // its place (nothing without a current group).
  void ReplaceItem(const std::string& ItemName);
  // Program Manager's group names, one a line (empty when it gives none).
  void GetWindowGroups(TStrings* Value);
  // The item's number (from 1) in the current group, compared with case; -1.
  int ItemIndexOf(const std::string& ItemName);

  // Fields of item I (from 1) of the current group; blank outside the items.
  std::string Description(int I) const { return Field(I, 1, 2); }
  std::string CommandLine(int I) const { return Field(I, 2, 2); }
  std::string DefaultDirectory(int I) const { return Field(I, 3, 1); }
  std::string IconPath(int I) const { return Field(I, 4, 1); }
  std::string X(int I) const { return Field(I, 5, 1); }
  std::string Y(int I) const { return Field(I, 6, 1); }
  std::string IconIndex(int I) const { return Field(I, 7, 1); }
  std::string ShortcutKey(int I) const { return Field(I, 8, 1); }
  int ItemCount() const;
  const TStringList& GroupInformation() const { return FGroupInfo; }
  // The conversation with Program Manager, for what it counts.
  const TDdeClientConv& Conversation() const { return *FConv; }

  // The DDE service and topic ("PROGMAN"); tests point them at a server of
  // their own.
  std::string Service = "PROGMAN";
  std::string Topic = "PROGMAN";

private:
  std::string Field(int I, int N, int Passes) const;
  // Re-reads the current group after a command; it stays current when the
  // server gives no data for it.
  void SetCurrentGroupKeeping();
  // Sends one command; a refusal, a command longer than Program Manager's
  // 255 characters, or a name that would break the command raises Refusal.
  template <class E>
  void Execute(const std::string& Command, const E& Refusal);

  bool FLinkOpen = false;
  TDdeClientConv* FConv;
  std::string FCurrentGroup;
  TStringList FGroupInfo;
};

// The one Program Manager client, made and freed with the unit.
extern TProgramManager* ProgramManager;
