#include "wizard/dlgcmp_TChangeDiskDlg.h"

#include "classlib/Units.h"

QNT_PUBLISH(TChangeDiskDlg,
  Prop::Boolean("AutoSetFont", &TChangeDiskDlg::AutoSetFont, &TChangeDiskDlg::SetAutoSetFont, true),
  Prop::Boolean("AutoTranslate", &TChangeDiskDlg::AutoTranslate, &TChangeDiskDlg::SetAutoTranslate, true),
  Prop::Component("DialogManager", &TChangeDiskDlg::DialogManager, &TChangeDiskDlg::SetDialogManager),
  Prop::Boolean("OverrideMainTranslator", &TChangeDiskDlg::OverrideMainTranslator,
                &TChangeDiskDlg::SetOverrideMainTranslator),
  Prop::Object("ThemeBitmap", &TChangeDiskDlg::ThemeBitmap),
  Prop::Enum("TranslateIntoLanguage", &TChangeDiskDlg::TranslateIntoLanguage,
             &TChangeDiskDlg::SetTranslateIntoLanguage, QlntLanguageInfo, qlUser));

TChangeDiskDlg::TChangeDiskDlg(TComponent* AOwner) : TCustomBaseInstallDlg(AOwner) {
  FBCDFEntry = AddToBCDFList(&TChangeDiskForm::StaticClassInfo(), this, nullptr);
  FDialogManager = LinkToManager(dmChangeDisk);
}

TChangeDiskDlg::~TChangeDiskDlg() { RemoveBCDFEntry(FBCDFEntry); }

namespace {
void InitChangeDiskDlg() { RemoveBCDFEntry(ChangeDiskFormBCDFEntry); }
TUnitRegistration registration(ulWizardComponents, "dlgcmp_TChangeDiskDlg", InitChangeDiskDlg, nullptr);
}  // namespace
