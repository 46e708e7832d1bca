#include "wizard/dlgcmp_TReboot.h"

#include "classlib/Units.h"

QNT_PUBLISH(TRebootDlg);

TRebootDlg::TRebootDlg(TComponent* AOwner) : TBaseInstallDlg(AOwner) {
  RegisterPage(&TRebootForm::StaticClassInfo(), dmReboot, 10, eccShutDownDialog);
}

void TRebootDlg::AssignDialogProperties() {
  TBaseInstallDlg::AssignDialogProperties();
  auto* form = dynamic_cast<TRebootForm*>(Dialog());
  StandAloneLook(form);
  if (!form) return;
  // Shown alone, the page shows the choice that matches Reboot and Next.
  form->RefreshInformation();
  form->BackBtn->SetVisible(false);
}

namespace {
void InitRebootDlg() { RemoveBIFEntry(RebootFormBIFEntry); }
TUnitRegistration registration(ulWizardComponents, "dlgcmp_TReboot", InitRebootDlg, nullptr);
}  // namespace
