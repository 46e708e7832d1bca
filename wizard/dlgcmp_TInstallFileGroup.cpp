#include "wizard/dlgcmp_TInstallFileGroup.h"

#include "classlib/Units.h"

QNT_PUBLISH(TInstallFileGroupsDlg);

TInstallFileGroupsDlg::TInstallFileGroupsDlg(TComponent* AOwner) : TBaseInstallDlg(AOwner) {
  RegisterPage(&TFileGroupSelectForm::StaticClassInfo(), dmBeforeInstall, 50, eccBeforeInstallFileGroup);
}

bool TInstallFileGroupsDlg::ExecuteUnique() {
  if (!Container())
    throw Exception(TSEFormat("Cannot run this dialog %s with a blank Container property", {Name()}));
  return TBaseInstallDlg::ExecuteUnique();
}

void TInstallFileGroupsDlg::AssignDialogProperties() {
  TBaseInstallDlg::AssignDialogProperties();
  auto* form = dynamic_cast<TFileGroupSelectForm*>(Dialog());
  StandAloneLook(form);
  if (!form) return;
  form->RefreshInformation();
  form->BackBtn->SetVisible(false);
}

namespace {
void InitInstallFileGroupsDlg() { RemoveBIFEntry(FileGroupSelectFormBIFEntry); }
TUnitRegistration registration(ulWizardComponents, "dlgcmp_TInstallFileGroup", InitInstallFileGroupsDlg, nullptr);
}  // namespace
