// The setup program of Example Journal, the README's complete example: file
// groups the user picks (one always installed, one in a subfolder, one off
// by default), a shared DLL in Common Files replaced only by a newer
// version, shortcuts in the Start menu (the uninstaller's among them) and on
// the desktop, the wizard's pages with a theme picture of its own (the
// reboot page that a DLL in use needs, and the setup-incomplete page among
// them), a question before a Cancel aborts, and a closing page of its own.
#include <windows.h>

#include "classlib/Buttons.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Forms.h"
#include "engine/cmp_TInstall.h"
#include "engine/cmp_TInstallShellLink.h"
#include "engine/cmp_TUninstallEXE.h"
#include "setup/SetupMain.h"
#include "wizard/dlgcmp_TBadInstallationDlg.h"
#include "wizard/dlgcmp_TCopyFile.h"
#include "wizard/dlgcmp_TInstallFileGroup.h"
#include "wizard/dlgcmp_TReboot.h"
#include "wizard/dlgcmp_TSelectFolder.h"
#include "wizard/dlgcmp_TWelcomeDlg.h"

namespace {
// The closing page: the wizard has none of its own. A form-only page, shown
// by the manager of its type after a good install.
class TJournalDoneForm : public TBaseInstallForm {
  QNT_PUBLISHED(TJournalDoneForm, TBaseInstallForm)
public:
  explicit TJournalDoneForm(TComponent* AOwner) : TBaseInstallForm(AOwner) {
    RegisterHandler("FormCreate", this, &TJournalDoneForm::FormCreate);
    RegisterHandler("FinishBtnClick", this, &TJournalDoneForm::FinishBtnClick);
    ReadForm("TJOURNALDONEFORM");
    SetDM(LinkToManager(dmAfterGoodInstall));
    SetOrder(10);
  }

private:
  void FormCreate(TObject*) {
    ThemeImage = FindChild<TImage>(this, "ThemeBitmap");
    ThemeImage->Picture()->LoadFromResourceName("JOURNALTHEME");
    OkButtons = {FindChild<TBitBtn>(this, "FinishBtn")};
  }
  void FinishBtnClick(TObject*) { Next(); }  // on the last page, Next finishes
};
QNT_PUBLISH(TJournalDoneForm);

class TJournalModule : public TDataModule {
  QNT_PUBLISHED(TJournalModule, TDataModule)
public:
  explicit TJournalModule(TComponent* AOwner) : TDataModule(AOwner) {
    RegisterClasses<TInstall, TInstallFileGroup, TInstallFile, TUninstallEXE, TMainLinkGroup, TInstallMainLink,
                    TInstallShellLink>();
    RegisterClasses<TDialogManager, TWelcomeDlg, TInstallFileGroupsDlg, TSelectFolderDlg, TRebootDlg,
                    TBadInstallationDlg, TCopyFileDlg>();
    RegisterHandler("Install1UserAbort", this, &TJournalModule::Install1UserAbort);
    AddToBIFList(&TJournalDoneForm::StaticClassInfo(), nullptr, nullptr);
    ReadResource("TJOURNALMODULE");
    // The pages' picture at the left, instead of the wizard's own.
    for (int i = 0; i < ComponentCount(); ++i)
      if (auto* page = dynamic_cast<TCustomBaseInstallDlg*>(Components(i)))
        page->ThemeBitmap()->LoadFromResourceName("JOURNALTHEME");
  }

private:
  // A Cancel aborts only when this answers yes; without a handler it aborts
  // without asking.
  void Install1UserAbort(TObject*, bool& QuitOut) {
    QuitOut = Application->MessageBox("Stop installing Example Journal?", "Example Journal",
                                      MB_YESNO | MB_ICONQUESTION) == IDYES;
  }
};
QNT_PUBLISH(TJournalModule);
}  // namespace

int main() {
  return SetupMain("Example Journal 2.0", [] { new TJournalModule(Application); });
}
