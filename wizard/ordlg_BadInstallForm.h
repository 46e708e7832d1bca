// The setup-incomplete page, shown after a failed or aborted install.
#pragma once
#include "foundation/translator/cmp_TTranslateControls.h"
#include "wizard/dlgcmp_TBaseDlg.h"

class TBadInstallForm : public TBaseInstallForm {
  QNT_PUBLISHED(TBadInstallForm, TBaseInstallForm)
public:
  explicit TBadInstallForm(TComponent* AOwner);
  void RefreshInformation() override;

  TTranslateBitBtn* BackBtn = nullptr;
  TTranslateBitBtn* ProceedBtn = nullptr;
  TTranslateBitBtn* FinishBtn = nullptr;

private:
  void FormCreate(TObject* Sender);
  void BackBtnClick(TObject*) { Previous(); }
  void ProceedBtnClick(TObject*) { Next(); }
  void FinishBtnClick(TObject*) { Next(); }
};
