// The setup-incomplete page's component.
#pragma once
#include "wizard/ordlg_BadInstallForm.h"

class TBadInstallationDlg : public TBaseInstallDlg {
  QNT_PUBLISHED(TBadInstallationDlg, TBaseInstallDlg)
public:
  explicit TBadInstallationDlg(TComponent* AOwner);
  TFormClass GetDialogClassType() override { return &TBadInstallForm::StaticClassInfo(); }
  void AssignDialogProperties() override;
};
