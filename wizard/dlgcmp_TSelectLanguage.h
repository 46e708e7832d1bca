// The select-language page's component.
#pragma once
#include "wizard/ordlg_SelectLanguage.h"

class TSelectLanguageDlg : public TBaseInstallDlg {
  QNT_PUBLISHED(TSelectLanguageDlg, TBaseInstallDlg)
public:
  explicit TSelectLanguageDlg(TComponent* AOwner);
  TFormClass GetDialogClassType() override { return &TSelectLanguageForm::StaticClassInfo(); }
  void AssignDialogProperties() override;
};
