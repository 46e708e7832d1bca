// The uninstaller's window: a checklist of the removal steps that Start runs
// (ticking each as it finishes), a progress bar for the server and file steps,
// Start and Close. The steps themselves are TUninstaller's (UninstallCore.h).
#pragma once
#include <memory>
#include <string>

#include "classlib/Forms.h"
#include "uninstaller/UninstallCore.h"

class TCheckBox;
class TButton;

class TForm1 : public TForm {
  QNT_PUBLISHED(TForm1, TForm)
public:
  explicit TForm1(TComponent* AOwner);
  ~TForm1() override;

  const std::string& ProductName() const { return FUninstaller->ProductName(); }
  // The program's exit code: how the run ended (TUninstallOutcome); closed
  // without Start, uoCancelled.
  int ExitCode() const { return FExitCode; }
  const std::string& UninstallKey() const { return FUninstaller->UninstallKey(); }
  TStringList* DirList() { return &FUninstaller->DirList(); }

  void FormCreate(TObject* Sender);
  void FormDestroy(TObject* Sender);
  void StartBtnClick(TObject* Sender);
  void CloseBtnClick(TObject* Sender);

  // The removal steps, run by Start in this order.
  void RemoveAliases() { FUninstaller->RemoveAliases(); }
  void RemoveActiveX() { FUninstaller->RemoveActiveX(); }
  void RemoveFiles() { FUninstaller->RemoveFiles(); }
  void RemoveINIFiles() { FUninstaller->RemoveINIFiles(); }
  void RemoveBDE() { FUninstaller->RemoveBDE(); }
  void RemoveDirectories() { FUninstaller->RemoveDirectories(); }
  bool RemoveRegistryKeys() { return FUninstaller->RemoveRegistryKeys(); }

protected:
  // An error of the creation is shown and the window opens anyway.
  void DoCreate() override;

private:
  template <class T>
  T* Control(const char* Name) const;
  void Repainted();
  void SetCaptionOfAll(const std::string& Text);
  // Start stays disabled; the text is shown as the creation's error and
  // the program ends with ExitCode when the window is closed.
  [[noreturn]] void Refuse(int ExitCode, const std::string& Text);
  void Hook(TUninstaller& U);
  // Hides the boxes of the steps the record does not have.
  void ListRecordedSteps();

  std::unique_ptr<TUninstaller> FUninstaller;
  int FExitCode = 0;
};

// Asks whether a shared file that no application uses any more may go, in a
// box titled as every box of the uninstaller.
bool OkToRemove(const std::string& FilePath);
