#include "setup/InstallModule.h"

#include <memory>

#include "classlib/Forms.h"
#include "engine/cmp_TInstall.h"
#include "engine/cmp_TInstallShellLink.h"
#include "engine/cmp_TUninstallEXE.h"
#include "engine/routines_BorlandEnvironment.h"
#include "foundation/ftp/cmp_TNetInstallLocation.h"
#include "foundation/translator/cmp_TTranslator.h"
#include "setup/CompilingForm.h"
#include "wizard/dlgcmp_TBadInstallationDlg.h"
#include "wizard/dlgcmp_TChangeDiskDlg.h"
#include "wizard/dlgcmp_TCopyFile.h"
#include "wizard/dlgcmp_TInstallFileGroup.h"
#include "wizard/dlgcmp_TInstallStatusDlg.h"
#include "wizard/dlgcmp_TReboot.h"
#include "wizard/dlgcmp_TSelectFolder.h"
#include "wizard/dlgcmp_TSelectLanguage.h"
#include "wizard/dlgcmp_TWelcomeDlg.h"

QNT_PUBLISH(TIM);

TIM* IM = nullptr;
bool PackageInstalled = false;

TIM::TIM(TComponent* AOwner) : TDataModule(AOwner) {
  RegisterClasses<TInstall, TTranslator, TUninstallEXE, TInstallFileGroup, TInstallFile, TMainLinkGroup,
                  TInstallMainLink, TInstallShellLink, TNetInstallLocation>();
  RegisterClasses<TDialogManager, TBadInstallationDlg, TChangeDiskDlg, TInstallFileGroupsDlg, TRebootDlg,
                  TSelectFolderDlg, TSelectLanguageDlg, TWelcomeDlg, TCopyFileDlg, TInstallStatusDlg>();
  RegisterHandler("Install1StartInstall", this, &TIM::Install1StartInstall);
  RegisterHandler("Install1CloseCopyFileDlg", this, &TIM::Install1CloseCopyFileDlg);
  RegisterHandler("Install1UserAbort", this, &TIM::Install1UserAbort);
  if (!IM) IM = this;
  ReadResource("TIM");
  FindComponents();
}

void TIM::FindComponents() {
  // Reading the module may already have run a whole *BUILD, *TODISK or
  // *ABOOT, whose handlers look the components up themselves.
  Install1 = dynamic_cast<TInstall*>(FindComponent("Install1"));
  MainTranslator = dynamic_cast<TTranslator*>(FindComponent("MainTranslator"));
  HelpFile = dynamic_cast<TInstallFile*>(FindComponent("HelpFile"));
  UninstallEXE2 = dynamic_cast<TUninstallEXE*>(FindComponent("UninstallEXE2"));
}

TInstallContainer* TIM::Controller() const { return Install1; }

TIM::~TIM() {
  if (IM == this) IM = nullptr;
}

void TIM::Install1StartInstall(TObject*) {
  BorlandEnvironment->Initialize();
  PackageInstalled = false;
}

void TIM::Install1CloseCopyFileDlg(TInstallContainer*, bool WasAborted) {
  if (WasAborted) return;
  FindComponents();
  Application->ProcessMessages();
  PackageInstalled = false;
  if (BorlandEnvironment->HasProduct(bpDelphi30)) {
    TFormCompile* window = nullptr;
    auto packages = std::make_unique<TStringList>();
    try {
      window = new TFormCompile(Application);
      window->Show();
      Application->ProcessMessages();
      try {
        packages->Add("Quillant");
        packages->Add("QuillantTools");
        packages->Add("QlntDialogs");
        BorlandEnvironment->RemoveVCLTabs(bpDelphi30, packages.get());
        packages->Clear();
        packages->Add("Quillant32.DPL");
        PackageInstalled = CompileInstallDelphi3(Install1->GetDestDir() + "\\Qlnt32.dpk", "Qlnt32.DPL",
                                                 "Quillant Installation Components", packages.get());
      } catch (...) {
        // Whatever went wrong, the setup-complete page tells how it went.
      }
      window->Close();
    } catch (...) {
      if (window) window->Free();
      throw;
    }
    window->Free();
    Application->ProcessMessages();
  }
  for (TBorlandProduct product : {bpCBuilder10, bpDelphi30}) {
    try {
      BorlandEnvironment->LinkIntoBorlandHelp("qlnt32.hlp", product);
    } catch (...) {
      // The product works without its help in the IDE's contents.
    }
  }
}

void TIM::Install1UserAbort(TObject*, bool& QuitOut) {
  QuitOut = Application->MessageBox(AbortQuestion, "Confirm", MB_YESNO | MB_ICONQUESTION) == IDYES;
}
