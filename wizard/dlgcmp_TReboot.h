// The reboot page's component.
#pragma once
#include "wizard/ordlg_Reboot.h"

class TRebootDlg : public TBaseInstallDlg {
  QNT_PUBLISHED(TRebootDlg, TBaseInstallDlg)
public:
  explicit TRebootDlg(TComponent* AOwner);
  TFormClass GetDialogClassType() override { return &TRebootForm::StaticClassInfo(); }
  void AssignDialogProperties() override;
};
