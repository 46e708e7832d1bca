#include "wizard/dlgcmp_TSelectLanguage.h"

#include "classlib/Units.h"

QNT_PUBLISH(TSelectLanguageDlg);

TSelectLanguageDlg::TSelectLanguageDlg(TComponent* AOwner) : TBaseInstallDlg(AOwner) {
  RegisterPage(&TSelectLanguageForm::StaticClassInfo(), dmBeforeInstall, 0, eccLanguageDialog);
}

void TSelectLanguageDlg::AssignDialogProperties() {
  TBaseInstallDlg::AssignDialogProperties();
  auto* form = dynamic_cast<TSelectLanguageForm*>(Dialog());
  StandAloneLook(form);
  // Shown alone the page would otherwise keep an empty grid: nothing else
  // refreshes a page outside a wizard window.
  if (form && !dynamic_cast<TForm*>(form->Owner())) {
    form->RefreshInformation();
    form->BackBtn->SetVisible(false);
  }
}

namespace {
void InitSelectLanguageDlg() { RemoveBIFEntry(SelectLanguageFormBIFEntry); }
TUnitRegistration registration(ulWizardComponents, "dlgcmp_TSelectLanguage", InitSelectLanguageDlg, nullptr);
}  // namespace
