// The install-status component: shows the latest status text that install
// components announce; texts nest, so ending an inner step shows the outer
// step's text again.
#pragma once
#include "wizard/dlgcmp_TBaseDlg.h"
#include "wizard/ordlg_InstallStatus.h"

class TInstallStatusDlg : public TCustomBaseInstallDlg {
  QNT_PUBLISHED(TInstallStatusDlg, TCustomBaseInstallDlg)
public:
  explicit TInstallStatusDlg(TComponent* AOwner);
  ~TInstallStatusDlg() override;

  // The text shown now.
  std::string Message;
  const TStringList& MessageStack() const { return FStack; }
  TInstallStatusForm* Form() const { return dynamic_cast<TInstallStatusForm*>(Dialog()); }

  // Shows Message (the install container's DisplayMessage(S) still
  // broadcasts a text).
  using TCustomBaseInstallDlg::DisplayMessage;
  void DisplayMessage();
  void Hide();
  // Translates the form; every new text is put on the label in English, so
  // the next translation starts from English again.
  void Translate() override;
  void AssignDialogProperties() override;

  TFormClass GetDialogClassType() override { return &TInstallStatusForm::StaticClassInfo(); }
  void HandleExternalComponentCall(TInstallContainer* Container, int ComponentCall, TObject* PO) override;

private:
  TStringList FStack;
};
