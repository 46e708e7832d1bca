// The select-folder page's component; it lives inside the shortcut folder
// whose destination it edits.
#pragma once
#include "engine/cmp_TInstallShellLink.h"
#include "wizard/ordlg_SelectFolder.h"

class TSelectFolderDlg : public TBaseInstallDlg {
  QNT_PUBLISHED(TSelectFolderDlg, TBaseInstallDlg)
public:
  explicit TSelectFolderDlg(TComponent* AOwner);
  // nullptr without a container; an Exception when the container is not a
  // shortcut folder.
  virtual TCustomShellLinkGroup* GetContainer();
  virtual void SetMyContainer(TInstallContainer* Value);

  TFormClass GetDialogClassType() override { return &TSelectFolderForm::StaticClassInfo(); }
  void AssignDialogProperties() override;
  bool ExecuteUnique() override;
};
