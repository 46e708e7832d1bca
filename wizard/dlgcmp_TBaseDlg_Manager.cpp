// The dialog manager: one kind of broadcast per manager type.
#include <algorithm>

#include "wizard/dlgcmp_TBaseContainer.h"
#include "wizard/dlgcmp_TBaseDlg.h"

QNT_PUBLISH(TDialogManager,
  Prop::Enum("ManagerType", &TDialogManager::ManagerType, &TDialogManager::SetManagerType, ManagerTypeInfo,
             dmBeforeInstall));

TDialogManager::TDialogManager(TComponent* AOwner) : TInstallObject(AOwner) { SetAutomaticInstallation(false); }

TDialogManager::~TDialogManager() {
  AnnounceDestruction();
  for (TBaseQuillantForm* f : FCopyForms) f->RemoveFreeNotification(this);
}

void TDialogManager::Notification(TComponent* AComponent, TOperation Operation) {
  TInstallObject::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  auto it = std::find(FCopyForms.begin(), FCopyForms.end(), AComponent);
  if (it != FCopyForms.end()) FCopyForms.erase(it);
}

void TDialogManager::DestroyingContainer(TInstallContainer* AContainer) {
  // The inherited step forgets the container when it is the one going.
  TInstallObject::DestroyingContainer(AContainer);
  if (auto* d = dynamic_cast<TCustomBaseInstallDlg*>(AContainer)) RemoveDialog(d);
}

void TDialogManager::InsertDialog(TCustomBaseInstallDlg* D) {
  if (!D) throw Exception(TSEFormat("Cannot add a NIL Dialog to the Dialog Manager %s", {Name()}));
  FDialogs.push_back(D);
}

void TDialogManager::RemoveDialog(TCustomBaseInstallDlg* D) {
  if (!D) return;
  auto it = std::find(FDialogs.begin(), FDialogs.end(), D);
  if (it != FDialogs.end()) FDialogs.erase(it);
}

void TDialogManager::HandleExternalComponentCall(TInstallContainer* Container, int ComponentCall, TObject* PO) {
  TInstallObject::HandleExternalComponentCall(Container, ComponentCall, PO);
  switch (ManagerActionFor(FManagerType, ComponentCall)) {
    case maNone:
      break;
    case maExecute:
      Execute();
      break;
    case maUpdateFile:
      UpdateAllCopyForms(ParameterAs<TFileStatusParameter>(PO, this, SPONotFileStatus), nullptr);
      break;
    case maUpdateDownload:
      UpdateAllCopyForms(nullptr, ParameterAs<TDownloadStatusParameter>(PO, this, SPONotDownloadStatus));
      break;
    case maCloseCopyForms:
      CloseAllCopyForms();
      break;
    case maChangeDisk:
      ExecuteChangeDiskForm(PO);
      break;
  }
}

namespace {
// Clears CurrentDM and frees the window however a run ends.
class TRunGuard {
public:
  TRunGuard() = default;
  ~TRunGuard() {
    CurrentDM = nullptr;
    if (Window) Window->Free();
  }
  TRunGuard(const TRunGuard&) = delete;
  TRunGuard& operator=(const TRunGuard&) = delete;
  TComponent* Window = nullptr;
};
}  // namespace

void TDialogManager::Execute() {
  // A program told to end shows no further wizard.
  if (Application->Terminated()) return;
  CurrentDM = this;
  TRunGuard guard;
  auto* window = new TBaseFormContainer(Application);
  guard.Window = window;
  if (window->CreateInstanceList() == 0) return;
  const int mr = window->ShowModal();
  window->LeaveCurrentPage();  // the wizard's end leaves its page
  if (mr == mrAbort) throw EAIUserAbort();
  // The loop also ends when the application is told to end: that is no
  // answer of the user, and the run must not go on as if it were.
  CheckNotTerminated();
  if (Application->MainForm()) Application->MainForm()->Repaint();
  Application->ProcessMessages();
}

void TDialogManager::ExecuteChangeDiskForm(TObject* PO) {
  if (!BCDFList || BCDFList->empty()) return;
  TRunGuard guard;
  auto* form = CreateFormOf<TBaseChangeDiskForm>((*BCDFList)[0]->BCDFClassType, Application);
  guard.Window = form;
  CurrentDM = this;
  if (!form || form->DM() != this) return;
  if (!PO) throw Exception(TSE("The ParameterObject is Nil in the TDialogManager. Cannot show the change disk form"));
  // The install files send their parameters as the engine's event list; a
  // plain list of the same items is taken as well.
  std::vector<TObject*> items;
  if (auto* events = dynamic_cast<TEventParameterList*>(PO)) {
    items = events->Items;
  } else if (auto* list = dynamic_cast<TList*>(PO)) {
    for (int i = 0; i < list->Count(); ++i) items.push_back(static_cast<TObject*>(list->Items(i)));
  } else {
    throw Exception(TSE("TChangeDiskDlg--PO is not a TList object"));
  }
  if (items.size() < 2) throw Exception(TSE("TChangeDiskDlg--Not engouh parameters for status event"));
  auto* file = dynamic_cast<TInstallObject*>(items[0]);
  if (!file || file->RegisteredType() != cInstallFile) throw Exception("TChangeDiskDlg says bad first parameter");
  auto* disk = dynamic_cast<TDiskParameter*>(items[1]);
  if (!disk) throw Exception("TChangeDiskDlg says bad second parameter");
  // The file shows no prompt of its own now.
  file->Tag = 1;
  form->SetDiskParameter(disk);
  form->RefreshInformation();
  form->Translate();
  const int mr = form->ShowModal();
  if (mr == mrAbort) throw EAIUserAbort();
  CheckNotTerminated();
}

void TDialogManager::ShowAllCopyForms() {
  if (!DCFList) return;
  for (TDCFEntry* entry : *DCFList) {
    if (!entry) continue;
    auto* form = CreateFormOf<TBaseDuringCopyForm>(entry->DCFClassType, Application);
    if (!form) continue;
    if (form->DM() != this) {
      form->Free();
      continue;
    }
    form->RefreshInformation();
    form->Translate();
    form->Show();
    FCopyForms.push_back(form);
    form->FreeNotification(this);
  }
}

void TDialogManager::UpdateAllCopyForms(TFileStatusParameter* FileStatus, TDownloadStatusParameter* DownloadStatus) {
  if (FCopyForms.empty()) ShowAllCopyForms();
  const std::vector<TBaseQuillantForm*> forms = FCopyForms;
  for (TBaseQuillantForm* f : forms)
    if (auto* dc = dynamic_cast<TBaseDuringCopyForm*>(f)) dc->RefreshStatistics(FileStatus, DownloadStatus);
}

void TDialogManager::CloseAllCopyForms() {
  // Each phase opens fresh forms, so the old ones go now rather than linger
  // hidden until the program ends.
  const std::vector<TBaseQuillantForm*> forms = FCopyForms;
  FCopyForms.clear();
  for (TBaseQuillantForm* f : forms) {
    f->RemoveFreeNotification(this);
    f->Close();
    f->Free();
  }
}
