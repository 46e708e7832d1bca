#include "wizard/dlgcmp_TBadInstallationDlg.h"

#include "classlib/Units.h"

QNT_PUBLISH(TBadInstallationDlg);

TBadInstallationDlg::TBadInstallationDlg(TComponent* AOwner) : TBaseInstallDlg(AOwner) {
  RegisterPage(&TBadInstallForm::StaticClassInfo(), dmAfterBadInstall, 10, eccBadInstall);
}

// Not refreshed here: a stand-alone page shows Next and Finish at one place.
void TBadInstallationDlg::AssignDialogProperties() {
  TBaseInstallDlg::AssignDialogProperties();
  StandAloneLook(dynamic_cast<TBaseInstallForm*>(Dialog()));
}

namespace {
void InitBadInstallationDlg() { RemoveBIFEntry(BadInstallFormBIFEntry); }
TUnitRegistration registration(ulWizardComponents, "dlgcmp_TBadInstallationDlg", InitBadInstallationDlg, nullptr);
}  // namespace
