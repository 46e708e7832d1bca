// Shortcuts and shortcut folders: install objects that make a shell link
// (a ".LNK" file) to an installed file, folder or other path, or a Program
// Manager item on systems without the shell's link interface; and the
// folders, the main one under the Start menu's Programs folder named after
// the product, that hold them.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/cmp_TInstallContainer.h"

enum TMethodType { mtAutoDetect, mtShellLinkInterface, mtProgramManager };
extern const TEnumInfo MethodTypeInfo;

// A shortcut folder: its destination folder is made for the shortcuts inside.
class TCustomShellLinkGroup : public TInstallObject {
  QNT_PUBLISHED(TCustomShellLinkGroup, TInstallObject)
public:
  explicit TCustomShellLinkGroup(TComponent* AOwner);
  ~TCustomShellLinkGroup() override;
  // A folder whose container goes frees itself.
  void DestroyingContainer(TInstallContainer* AContainer) override;
  // Lets the select-folder page choose the folder, makes it, then installs
  // the shortcuts.
  void InstallUnique() override;
  int RegisteredType() override { return cShellLinkGroup; }
};

// The product's folder under the Start menu's Programs folder; at most one.
class TMainLinkGroup : public TCustomShellLinkGroup {
  QNT_PUBLISHED(TMainLinkGroup, TCustomShellLinkGroup)
public:
  explicit TMainLinkGroup(TComponent* AOwner);
  ~TMainLinkGroup() override;
  // Always ddProgramMenuDir: the value given is ignored.
  void SetDestDirType(TPathSpecifiers NewDestDirType) override;
  void SetContainer(TInstallContainer* IC) override;
};

// A function that makes the shell's link object: an IShellLinkW in Link, or
// a failure code. Tests put one of their own in ShellLinkFactory.
using TShellLinkFactory = std::function<long(void** Link)>;
extern TShellLinkFactory ShellLinkFactory;
long DefaultShellLinkFactory(void** Link);

class TCustomInstallShellLink : public TInstallObject {
  QNT_PUBLISHED(TCustomInstallShellLink, TInstallObject)
public:
  explicit TCustomInstallShellLink(TComponent* AOwner);
  ~TCustomInstallShellLink() override;

  const std::string& LinkName() const { return FLinkName; }
  TInstallContainer* ObjectLink() const { return FObjectLink; }
  const std::string& ObjectLocation() const { return FObjectLocation; }
  TPathSpecifiers ObjectLocationType() const { return FObjectLocationType; }
  const std::string& Parameters() const { return FParameters; }
  void SetParameters(const std::string& Value) { FParameters = Value; }
  uint16_t HotKey() const { return FHotKey; }
  void SetHotKey(uint16_t Value) { FHotKey = Value; }
  TMethodType Method() const { return FMethod; }
  void SetMethod(TMethodType Value) { FMethod = Value; }
  bool Established() const { return FEstablished; }

  // Initialises COM for the calling thread once.
  virtual void EstablishLink32();
  // Outside streaming the extension becomes ".LNK".
  virtual void SetLinkName(const std::string& NewName);
  // Also names a shortcut that has no name yet after the target.
  virtual void SetObjectLocation(const std::string& NewValue);
  // Only ddObjectLink (with a link) and ddContainerDestDir (with a container).
  virtual void SetObjectLocationType(TPathSpecifiers NewType);
  // Names the shortcut after the target and, when it has no container yet,
  // places it inside the target so that it installs right after it.
  virtual void SetObjectLink(TInstallContainer* AContainer);
  // The full path the shortcut points to.
  virtual std::string GetObjectLocation();
  // A Program Manager item (only for a shortcut whose base is the Programs
  // folder).
  virtual void Install16();
  // A shell link.
  virtual void Install32();

  void DestroyingContainer(TInstallContainer* AContainer) override;
  int RegisteredType() override { return cInstallShellLink; }
  void InstallUnique() override;
  void WriteInstallInfo(const std::string& RegKey) override;
  // Where the ".LNK" file goes: the destination folder and LinkName.
  std::string LinkPath();

protected:
  std::string FLinkName;
  TInstallContainer* FObjectLink = nullptr;
  std::string FObjectLocation;
  TPathSpecifiers FObjectLocationType = ddAbsolute;
  std::string FParameters;
  uint16_t FHotKey = 0;
  TMethodType FMethod = mtAutoDetect;
  bool FEstablished = false;
};

class TInstallShellLink : public TCustomInstallShellLink {
  QNT_PUBLISHED(TInstallShellLink, TCustomInstallShellLink)
public:
  using TCustomInstallShellLink::TCustomInstallShellLink;
};

// A shortcut inside the main folder; it needs one.
class TInstallMainLink : public TCustomInstallShellLink {
  QNT_PUBLISHED(TInstallMainLink, TCustomInstallShellLink)
public:
  explicit TInstallMainLink(TComponent* AOwner);
  ~TInstallMainLink() override;
  // Only the main folder.
  void SetContainer(TInstallContainer* IC) override;
};

// Typed lists; Add refuses nil.
template <class T>
class TTypedLinkList {
public:
  int Add(T* Item);
  void Remove(T* Item);
  int Count() const { return static_cast<int>(FItems.size()); }
  T* Items(int I) const { return FItems.at(static_cast<size_t>(I)); }
  int IndexOf(T* Item) const;

private:
  std::vector<T*> FItems;
};
using TInstallShellLinkList = TTypedLinkList<TCustomInstallShellLink>;
using TShellLinkGroupList = TTypedLinkList<TCustomShellLinkGroup>;

// Made and freed with the unit.
extern TMainLinkGroup* MainFolder;
extern TShellLinkGroupList* SubFolders;
extern TInstallShellLinkList* MainFolderLinks;
extern TInstallShellLinkList* ShellLinkList;
