#include "wizard/dlgcmp_TSelectFolder.h"

#include "classlib/Units.h"

// Container stays published as every install object publishes it: any
// install container streams, and GetContainer checks the class when read.
QNT_PUBLISH(TSelectFolderDlg);

TSelectFolderDlg::TSelectFolderDlg(TComponent* AOwner) : TBaseInstallDlg(AOwner) {
  RegisterPage(&TSelectFolderForm::StaticClassInfo(), dmBeforeInstall, 60, eccSelectFolder);
  if (MainFolder) SetContainer(MainFolder);
}

TCustomShellLinkGroup* TSelectFolderDlg::GetContainer() {
  TInstallContainer* c = Container();
  if (!c) return nullptr;
  auto* g = dynamic_cast<TCustomShellLinkGroup*>(c);
  if (!g) throw Exception(TSEFormat("The container for %s must be a TCustomShellLinkGroup", {Name()}));
  return g;
}

void TSelectFolderDlg::SetMyContainer(TInstallContainer* Value) { SetContainer(Value); }

bool TSelectFolderDlg::ExecuteUnique() {
  if (!Container())
    throw Exception(TSEFormat("Cannot run this dialog %s with a blank Container property", {Name()}));
  return TBaseInstallDlg::ExecuteUnique();
}

void TSelectFolderDlg::AssignDialogProperties() {
  TBaseInstallDlg::AssignDialogProperties();
  auto* form = dynamic_cast<TSelectFolderForm*>(Dialog());
  StandAloneLook(form);
  if (!form) return;
  form->RefreshInformation();
  form->BackBtn->SetVisible(false);
}

namespace {
void InitSelectFolderDlg() { RemoveBIFEntry(SelectFolderFormBIFEntry); }
TUnitRegistration registration(ulWizardComponents, "dlgcmp_TSelectFolder", InitSelectFolderDlg, nullptr);
}  // namespace
