#include "wizard/ordlg_WelcomeDlg.h"

#include "classlib/Units.h"

QNT_PUBLISH(TWelcomeForm);

TWelcomeForm::TWelcomeForm(TComponent* AOwner) : TBaseInstallForm(AOwner) {
  RegisterHandler("FormCreate", this, &TWelcomeForm::FormCreate);
  RegisterHandler("BackBtnClick", this, &TWelcomeForm::BackBtnClick);
  RegisterHandler("ProceedBtnClick", this, &TWelcomeForm::ProceedBtnClick);
  RegisterHandler("CancelBtnClick", this, &TWelcomeForm::CancelBtnClick);
  ReadForm("TWelcomeForm");
  SetDM(LinkToManager(dmBeforeInstall));
  SetOrder(5);
}

void TWelcomeForm::FormCreate(TObject*) {
  BackBtn = FindChild<TTranslateBitBtn>(this, "BackBtn");
  ProceedBtn = FindChild<TTranslateBitBtn>(this, "ProceedBtn");
  CancelBtn = FindChild<TTranslateBitBtn>(this, "CancelBtn");
  ThemeImage = FindChild<TImage>(this, "ThemeBitmap");
  BackButton = BackBtn;
  OkButtons = {ProceedBtn};
  ThemeImage->Picture()->LoadFromResourceName("INSTALLTHEME1");
  // The cross and its disabled look (the form gives the number of states).
  CancelBtn->Glyph()->LoadFromResourceName("CANCELGLYPH2");
}

void TWelcomeForm::RefreshInformation() {
  TBaseInstallForm::RefreshInformation();
  BackBtn->SetVisible(!IsFirst());
  FocusIfVisible(ProceedBtn);
}

namespace {
void InitWelcomeForm() { WelcomeFormBIFEntry = AddToBIFList(&TWelcomeForm::StaticClassInfo(), nullptr, nullptr); }
TUnitRegistration registration(ulWizardForms, "ordlg_WelcomeDlg", InitWelcomeForm, nullptr);
}  // namespace
