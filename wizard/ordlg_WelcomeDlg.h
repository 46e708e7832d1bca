// The welcome page: the first page of the before-install wizard.
#pragma once
#include "foundation/translator/cmp_TTranslateControls.h"
#include "wizard/dlgcmp_TBaseDlg.h"

class TWelcomeForm : public TBaseInstallForm {
  QNT_PUBLISHED(TWelcomeForm, TBaseInstallForm)
public:
  explicit TWelcomeForm(TComponent* AOwner);
  void RefreshInformation() override;

  TTranslateBitBtn* BackBtn = nullptr;
  TTranslateBitBtn* ProceedBtn = nullptr;
  TTranslateBitBtn* CancelBtn = nullptr;

private:
  void FormCreate(TObject* Sender);
  void BackBtnClick(TObject*) { Previous(); }
  void ProceedBtnClick(TObject*) { Next(); }
  void CancelBtnClick(TObject*) { TryCancel(); }
};
