// The reboot page: asks whether Windows restarts now, bound to Reboot.
#pragma once
#include "classlib/ExtCtrls.h"
#include "foundation/translator/cmp_TTranslateControls.h"
#include "wizard/dlgcmp_TBaseDlg.h"

class TRebootForm : public TBaseInstallForm {
  QNT_PUBLISHED(TRebootForm, TBaseInstallForm)
public:
  explicit TRebootForm(TComponent* AOwner);
  void RefreshInformation() override;

  TTranslateBitBtn* BackBtn = nullptr;
  TTranslateBitBtn* ProceedBtn = nullptr;
  TTranslateBitBtn* FinishBtn = nullptr;
  TRadioGroup* RG = nullptr;

private:
  void FormCreate(TObject* Sender);
  void BackBtnClick(TObject*) { Previous(); }
  void ProceedBtnClick(TObject*) { Next(); }
  void FinishBtnClick(TObject*) { Next(); }
  void RGClick(TObject* Sender);
};
