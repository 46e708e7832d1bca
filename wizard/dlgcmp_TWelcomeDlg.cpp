#include "wizard/dlgcmp_TWelcomeDlg.h"

#include "classlib/Units.h"

QNT_PUBLISH(TWelcomeDlg);

TWelcomeDlg::TWelcomeDlg(TComponent* AOwner) : TBaseInstallDlg(AOwner) {
  RegisterPage(&TWelcomeForm::StaticClassInfo(), dmBeforeInstall, 10, eccWelcomeDialog);
}

void TWelcomeDlg::AssignDialogProperties() {
  TBaseInstallDlg::AssignDialogProperties();
  StandAloneLook(dynamic_cast<TBaseInstallForm*>(Dialog()));
}

namespace {
void InitWelcomeDlg() { RemoveBIFEntry(WelcomeFormBIFEntry); }
TUnitRegistration registration(ulWizardComponents, "dlgcmp_TWelcomeDlg", InitWelcomeDlg, nullptr);
}  // namespace
