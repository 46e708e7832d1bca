// The page components the install module streams, registered apart from the
// module's own unit (see InstallModule.h).
#include <functional>

#include "wizard/dlgcmp_TBadInstallationDlg.h"
#include "wizard/dlgcmp_TChangeDiskDlg.h"
#include "wizard/dlgcmp_TCopyFile.h"
#include "wizard/dlgcmp_TInstallFileGroup.h"
#include "wizard/dlgcmp_TInstallStatusDlg.h"
#include "wizard/dlgcmp_TReboot.h"
#include "wizard/dlgcmp_TSelectFolder.h"
#include "wizard/dlgcmp_TSelectLanguage.h"
#include "wizard/dlgcmp_TWelcomeDlg.h"

void RegisterModulePages() {
  RegisterClasses<TDialogManager, TBadInstallationDlg, TChangeDiskDlg, TInstallFileGroupsDlg, TRebootDlg,
                  TSelectFolderDlg, TSelectLanguageDlg, TWelcomeDlg, TCopyFileDlg, TInstallStatusDlg>();
}

void AskOnCancel(std::function<bool()> Question) { VerifyCancelSource = std::move(Question); }
