// The welcome page's component.
#pragma once
#include "wizard/ordlg_WelcomeDlg.h"

class TWelcomeDlg : public TBaseInstallDlg {
  QNT_PUBLISHED(TWelcomeDlg, TBaseInstallDlg)
public:
  explicit TWelcomeDlg(TComponent* AOwner);
  TFormClass GetDialogClassType() override { return &TWelcomeForm::StaticClassInfo(); }
  void AssignDialogProperties() override;
};
