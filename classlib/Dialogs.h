// Common dialogs: the system's file-open dialog.
//
// Windows only: the user-interface library (classlib_ui).
#pragma once
#include <string>

#include "classlib/Classes.h"
#include "classlib/TypInfo.h"

enum TOpenOption {
  ofReadOnly,
  ofOverwritePrompt,
  ofHideReadOnly,
  ofNoChangeDir,
  ofShowHelp,
  ofNoValidate,
  ofAllowMultiSelect,
  ofExtensionDifferent,
  ofPathMustExist,
  ofFileMustExist,
  ofCreatePrompt,
  ofShareAware,
  ofNoReadOnlyReturn,
  ofNoTestFileCreate,
  ofNoNetworkButton,
  ofNoLongNames,
  ofOldStyleDialog,
  ofNoDereferenceLinks,
  ofEnableIncludeNotify,
  ofEnableSizing,
};
using TOpenOptions = unsigned;  // bit (1 << option)
extern const TEnumInfo OpenOptionInfo;

// Asks for a file with the system dialog, owned by the active window.
// Filter is "Text|*.txt|All|*.*" as pairs of description and patterns.
class TOpenDialog : public TComponent {
  QNT_PUBLISHED(TOpenDialog, TComponent)
public:
  explicit TOpenDialog(TComponent* AOwner);
  const std::string& FileName() const { return FFileName; }
  void SetFileName(const std::string& Value) { FFileName = Value; }
  const std::string& Filter() const { return FFilter; }
  void SetFilter(const std::string& Value) { FFilter = Value; }
  const std::string& InitialDir() const { return FInitialDir; }
  void SetInitialDir(const std::string& Value) { FInitialDir = Value; }
  const std::string& Title() const { return FTitle; }
  void SetTitle(const std::string& Value) { FTitle = Value; }
  TOpenOptions Options() const { return FOptions; }
  void SetOptions(TOpenOptions Value) { FOptions = Value; }
  // True when the user chose a file (FileName is then the full path).
  virtual bool Execute();

private:
  std::string FFileName, FFilter, FInitialDir, FTitle;
  TOpenOptions FOptions = (1u << ofHideReadOnly) | (1u << ofEnableSizing);
};
