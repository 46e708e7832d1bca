// The change-disk component: registers the prompt for the change-disk
// manager; it answers no code itself.
#pragma once
#include "wizard/ordlg_ChangeDisk.h"

class TChangeDiskDlg : public TCustomBaseInstallDlg {
  QNT_PUBLISHED(TChangeDiskDlg, TCustomBaseInstallDlg)
public:
  explicit TChangeDiskDlg(TComponent* AOwner);
  ~TChangeDiskDlg() override;
  TFormClass GetDialogClassType() override { return &TChangeDiskForm::StaticClassInfo(); }

private:
  TBCDFEntry* FBCDFEntry = nullptr;
};
