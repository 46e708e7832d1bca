#include "wizard/ordlg_Reboot.h"

#include "classlib/Units.h"

QNT_PUBLISH(TRebootForm);

TRebootForm::TRebootForm(TComponent* AOwner) : TBaseInstallForm(AOwner) {
  RegisterHandler("FormCreate", this, &TRebootForm::FormCreate);
  RegisterHandler("BackBtnClick", this, &TRebootForm::BackBtnClick);
  RegisterHandler("ProceedBtnClick", this, &TRebootForm::ProceedBtnClick);
  RegisterHandler("FinishBtnClick", this, &TRebootForm::FinishBtnClick);
  RegisterHandler("RGClick", this, &TRebootForm::RGClick);
  ReadForm("TRebootForm");
  SetDM(LinkToManager(dmReboot));
  SetOrder(10);
}

void TRebootForm::FormCreate(TObject*) {
  BackBtn = FindChild<TTranslateBitBtn>(this, "BackBtn");
  ProceedBtn = FindChild<TTranslateBitBtn>(this, "ProceedBtn");
  FinishBtn = FindChild<TTranslateBitBtn>(this, "FinishBtn");
  RG = FindChild<TRadioGroup>(this, "RG");
  ThemeImage = FindChild<TImage>(this, "ThemeBitmap");
  BackButton = BackBtn;
  OkButtons = {ProceedBtn, FinishBtn};
  ThemeImage->Picture()->LoadFromResourceName("INSTALLTHEME1");
}

void TRebootForm::RefreshInformation() {
  TBaseInstallForm::RefreshInformation();
  BackBtn->SetVisible(!IsFirst());
  ProceedBtn->SetVisible(!IsLast());
  FinishBtn->SetVisible(!ProceedBtn->Visible());
  FocusIfVisible(ProceedBtn);
  // Selecting fires the click, which writes the same value back.
  RG->SetItemIndex(Reboot ? 0 : 1);
}

void TRebootForm::RGClick(TObject*) { Reboot = RG->ItemIndex() == 0; }

namespace {
void InitRebootForm() { RebootFormBIFEntry = AddToBIFList(&TRebootForm::StaticClassInfo(), nullptr, nullptr); }
TUnitRegistration registration(ulWizardForms, "ordlg_Reboot", InitRebootForm, nullptr);
}  // namespace
