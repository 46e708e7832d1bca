#include "wizard/ordlg_BadInstallForm.h"

#include "classlib/Units.h"

QNT_PUBLISH(TBadInstallForm);

TBadInstallForm::TBadInstallForm(TComponent* AOwner) : TBaseInstallForm(AOwner) {
  RegisterHandler("FormCreate", this, &TBadInstallForm::FormCreate);
  RegisterHandler("BackBtnClick", this, &TBadInstallForm::BackBtnClick);
  RegisterHandler("ProceedBtnClick", this, &TBadInstallForm::ProceedBtnClick);
  RegisterHandler("FinishBtnClick", this, &TBadInstallForm::FinishBtnClick);
  ReadForm("TBadInstallForm");
  SetDM(LinkToManager(dmAfterBadInstall));
  SetOrder(10);
}

void TBadInstallForm::FormCreate(TObject*) {
  BackBtn = FindChild<TTranslateBitBtn>(this, "BackBtn");
  ProceedBtn = FindChild<TTranslateBitBtn>(this, "ProceedBtn");
  FinishBtn = FindChild<TTranslateBitBtn>(this, "FinishBtn");
  ThemeImage = FindChild<TImage>(this, "ThemeBitmap");
  BackButton = BackBtn;
  OkButtons = {ProceedBtn, FinishBtn};
  ThemeImage->Picture()->LoadFromResourceName("INSTALLTHEME1");
}

void TBadInstallForm::RefreshInformation() {
  TBaseInstallForm::RefreshInformation();
  BackBtn->SetVisible(!IsFirst());
  ProceedBtn->SetVisible(!IsLast());
  FinishBtn->SetVisible(!ProceedBtn->Visible());
  FocusIfVisible(ProceedBtn);
  FocusIfVisible(FinishBtn);
}

namespace {
void InitBadInstallForm() {
  BadInstallFormBIFEntry = AddToBIFList(&TBadInstallForm::StaticClassInfo(), nullptr, nullptr);
}
TUnitRegistration registration(ulWizardForms, "ordlg_BadInstallForm", InitBadInstallForm, nullptr);
}  // namespace
