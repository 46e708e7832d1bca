// The install module of this setup: every configured component of the
// product's install, streamed from the module's form resource, and the
// handlers that compile the package into Delphi 3.0 and link the help.
#pragma once
#include "classlib/Classes.h"

class TInstall;
class TInstallContainer;
class TInstallFile;
class TTranslator;
class TUninstallEXE;

class TIM : public TDataModule {
  QNT_PUBLISHED(TIM, TDataModule)
public:
  explicit TIM(TComponent* AOwner);
  ~TIM() override;

  TInstall* Install1 = nullptr;
  TTranslator* MainTranslator = nullptr;
  TInstallFile* HelpFile = nullptr;
  TUninstallEXE* UninstallEXE2 = nullptr;
  // Install1 as the container it is.
  TInstallContainer* Controller() const;

  void Install1StartInstall(TObject* Sender);
  void Install1CloseCopyFileDlg(TInstallContainer* Container, bool WasAborted);
  void Install1UserAbort(TObject* Install, bool& QuitOut);

private:
  void FindComponents();
};

// The one install module, made by the program's main block.
extern TIM* IM;

// True once the package was compiled and registered in Delphi 3.0 during
// this run.
extern bool PackageInstalled;

// The question a Cancel asks.
inline constexpr const char* AbortQuestion = "Are you sure you want to abort this installation?";
