// The file-groups page's component.
#pragma once
#include "wizard/ordlg_FileGroupSelect.h"

class TInstallFileGroupsDlg : public TBaseInstallDlg {
  QNT_PUBLISHED(TInstallFileGroupsDlg, TBaseInstallDlg)
public:
  explicit TInstallFileGroupsDlg(TComponent* AOwner);
  TFormClass GetDialogClassType() override { return &TFileGroupSelectForm::StaticClassInfo(); }
  void AssignDialogProperties() override;
  bool ExecuteUnique() override;
};
