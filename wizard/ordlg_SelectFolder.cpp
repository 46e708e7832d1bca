#include "wizard/ordlg_SelectFolder.h"

#include <windows.h>

#include "classlib/Units.h"
#include "classlib/WinText.h"
#include "engine/cmp_TInstallShellLink.h"
#include "engine/cmp_TProgramManager.h"
#include "foundation/routines/routines_API.h"
#include "foundation/routines/routines_ExpandPaths.h"
#include "foundation/routines/routines_Strings.h"

void FolderList(TStrings* List) {
  List->Clear();
  const TWindowsVerType v = GetWindowsVerType();
  if (v == wvWin95 || v == wvWinNT) {
    const std::wstring pattern = Widen(DirectoryWBS(ExpandProgramMenuDir()) + "*.*");
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW(pattern.c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
      const std::string name = Narrow(fd.cFileName);
      if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != "." && name != "..") List->Add(name);
    } while (FindNextFileW(h, &fd));
    FindClose(h);
  } else if (ProgramManager) {
    ProgramManager->GetWindowGroups(List);
  }
}

QNT_PUBLISH(TSelectFolderForm);

TSelectFolderForm::TSelectFolderForm(TComponent* AOwner) : TBaseInstallForm(AOwner) {
  RegisterHandler("FormCreate", this, &TSelectFolderForm::FormCreate);
  RegisterHandler("FormResize", this, &TSelectFolderForm::FormResize);
  RegisterHandler("BackBtnClick", this, &TSelectFolderForm::BackBtnClick);
  RegisterHandler("ProceedBtnClick", this, &TSelectFolderForm::ProceedBtnClick);
  RegisterHandler("CancelBtnClick", this, &TSelectFolderForm::CancelBtnClick);
  RegisterHandler("FolderListBoxClick", this, &TSelectFolderForm::FolderListBoxClick);
  RegisterHandler("FolderEditChange", this, &TSelectFolderForm::FolderEditChange);
  ReadForm("TSelectFolderForm");
  SetDM(LinkToManager(dmBeforeInstall));
  SetContainer(MainFolder);
  SetOrder(60);
}

void TSelectFolderForm::FormCreate(TObject*) {
  BackBtn = FindChild<TTranslateBitBtn>(this, "BackBtn");
  ProceedBtn = FindChild<TTranslateBitBtn>(this, "ProceedBtn");
  CancelBtn = FindChild<TTranslateBitBtn>(this, "CancelBtn");
  FolderEdit = FindChild<TEdit>(this, "FolderEdit");
  FolderListBox = FindChild<TListBox>(this, "FolderListBox");
  ThemeImage = FindChild<TImage>(this, "ThemeBitmap");
  BackButton = BackBtn;
  OkButtons = {ProceedBtn};
  ThemeImage->Picture()->LoadFromResourceName("INSTALLTHEME1");
}

void TSelectFolderForm::FormResize(TObject*) {
  for (auto [name, h] : {std::pair<const char*, int>{"Label1", 18}, {"Label3", 8}, {"Label4", 8}})
    if (auto* l = dynamic_cast<TControl*>(FindComponent(name))) l->SetHeight(h);
}

std::string TSelectFolderForm::GetInstallToFolder() {
  TInstallContainer* c = Container();
  if (!c || c->DestDirType() != ddProgramMenuDir) return "";
  const std::string& d = c->DestDir();
  const size_t p = d.find_last_of("\\/:");
  return p == std::string::npos ? d : d.substr(p + 1);
}

void TSelectFolderForm::RefreshInformation() {
  TBaseInstallForm::RefreshInformation();
  BackBtn->SetVisible(!IsFirst());
  FolderList(FolderListBox->Items());
  FolderEdit->SetText(GetInstallToFolder());
  if (FolderEdit->Text().empty() && FolderListBox->Items()->Count() > 0)
    FolderEdit->SetText(FolderListBox->Items()->Get(0));
  FocusIfVisible(ProceedBtn);
}

void TSelectFolderForm::FolderListBoxClick(TObject*) {
  const int i = FolderListBox->ItemIndex();
  if (i >= 0) FolderEdit->SetText(FolderListBox->Items()->Get(i));
}

void TSelectFolderForm::FolderEditChange(TObject*) {
  TInstallContainer* c = Container();
  if (!c) return;
  c->SetDestDirType(ddProgramMenuDir);
  c->SetDestDir("\\" + FolderEdit->Text());
}

void TSelectFolderForm::ProceedBtnClick(TObject*) {
  // The name becomes exactly one folder below Programs: a name that climbs
  // out of it or cannot be made is refused here, before the page is left.
  const std::string name = FolderEdit->Text();
  if (!IsValidProgramFolderName(name)) {
    SetModalResult(mrNone);
    Application->MessageBox(TSEFormat("%s is not a valid folder name", {name}), Caption(),
                            MB_OK | MB_ICONWARNING);
    if (FolderEdit->CanFocus()) FolderEdit->SetFocus();
    return;
  }
  Next();
}

namespace {
void InitSelectFolderForm() {
  SelectFolderFormBIFEntry = AddToBIFList(&TSelectFolderForm::StaticClassInfo(), nullptr, nullptr);
}
TUnitRegistration registration(ulWizardForms, "ordlg_SelectFolder", InitSelectFolderForm, nullptr);
}  // namespace
