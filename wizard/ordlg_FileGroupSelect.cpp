#include "wizard/ordlg_FileGroupSelect.h"

#include <windows.h>

#include <algorithm>
#include <cctype>

#include "classlib/Units.h"
#include "classlib/WinText.h"
#include "foundation/routines/routines_Strings.h"

int64_t DriveFreeBytes(char DriveLetter) {
  const wchar_t root[] = {static_cast<wchar_t>(DriveLetter), L':', L'\\', 0};
  ULARGE_INTEGER avail;
  const UINT old = SetErrorMode(SEM_FAILCRITICALERRORS);
  const BOOL ok = GetDiskFreeSpaceExW(root, &avail, nullptr, nullptr);
  SetErrorMode(old);
  if (!ok) return -1;
  return static_cast<int64_t>(avail.QuadPart);
}

std::string BytesText(double Bytes) { return Format("%0.0n", {Bytes}) + " " + TSE("Bytes"); }

QNT_PUBLISH(TFileGroupSelectForm);

TFileGroupSelectForm::TFileGroupSelectForm(TComponent* AOwner) : TBaseInstallForm(AOwner) {
  RegisterHandler("FormCreate", this, &TFileGroupSelectForm::FormCreate);
  RegisterHandler("BackBtnClick", this, &TFileGroupSelectForm::BackBtnClick);
  RegisterHandler("ProceedBtnClick", this, &TFileGroupSelectForm::ProceedBtnClick);
  RegisterHandler("CancelBtnClick", this, &TFileGroupSelectForm::CancelBtnClick);
  RegisterHandler("GroupListBoxClick", this, &TFileGroupSelectForm::GroupListBoxClick);
  RegisterHandler("ToggleBtnClick", this, &TFileGroupSelectForm::ToggleBtnClick);
  RegisterHandler("BrowseBtnClick", this, &TFileGroupSelectForm::BrowseBtnClick);
  // Only the form text names the dialog's class: without this the linker may
  // leave it out.
  RegisterClasses<TTreeView, TImageList, TOpenDialog>();
  ReadForm("TFileGroupSelectForm");
  SetDM(LinkToManager(dmBeforeInstall));
  SetContainer(MainInstall);
  SetOrder(50);
}

void TFileGroupSelectForm::FormCreate(TObject*) {
  BackBtn = FindChild<TTranslateBitBtn>(this, "BackBtn");
  ProceedBtn = FindChild<TTranslateBitBtn>(this, "ProceedBtn");
  CancelBtn = FindChild<TTranslateBitBtn>(this, "CancelBtn");
  GroupListBox = FindChild<TTreeView>(this, "GroupListBox");
  GroupDescLabel = FindChild<TTranslateLabel>(this, "GroupDescLabel");
  ToggleBtn = FindChild<TTranslateBitBtn>(this, "ToggleBtn");
  DescriptionMemo = FindChild<TMemo>(this, "DescriptionMemo");
  DirectoryLabel = FindChild<TEdit>(this, "DirectoryLabel");
  BrowseBtn = FindChild<TTranslateBitBtn>(this, "BrowseBtn");
  SpaceRequiredLabel = FindChild<TLabel>(this, "SpaceRequiredLabel");
  SpaceAvailableLabel = FindChild<TLabel>(this, "SpaceAvailableLabel");
  OpenDialog = FindChild<TOpenDialog>(this, "OpenDialog");
  ThemeImage = FindChild<TImage>(this, "ThemeBitmap");
  BackButton = BackBtn;
  OkButtons = {ProceedBtn};
  ThemeImage->Picture()->LoadFromResourceName("INSTALLTHEME1");
  GroupListBox->OnStateImageClick = [this](TObject* Sender) { GroupListBoxStateImageClick(Sender); };
  SpaceValuesLeft = SpaceRequiredLabel->Left();
}

void TFileGroupSelectForm::PlaceSpaceValues() {
  int left = SpaceValuesLeft;
  for (const char* desc : {"SpaceRequiredDesc", "SpaceAvailableDesc"}) {
    auto* l = FindChild<TLabel>(this, desc);
    left = std::max(left, l->Left() + l->Width() + 8);
  }
  SpaceRequiredLabel->SetLeft(left);
  SpaceAvailableLabel->SetLeft(left);
}

bool TFileGroupSelectForm::Skip() {
  TInstallContainer* c = Container();
  if (!c) return true;
  const TInstallType t = c->SelectedInstallType();
  return !(t == itCustom || t == itAlways);
}

void TFileGroupSelectForm::RefreshInformation() {
  TBaseInstallForm::RefreshInformation();
  BackBtn->SetVisible(!IsFirst());
  RefreshTree();
  SetButtons();
  PlaceSpaceValues();
  FocusIfVisible(ProceedBtn);
}

void TFileGroupSelectForm::AddGroups(TTreeNode* Parent, TFileContainer* Container) {
  for (int i = 0; i < Container->FileGroupCount(); ++i) {
    auto* group = dynamic_cast<TFileContainer*>(Container->FileGroups(i));
    if (!group) continue;
    TTreeNode* node = GroupListBox->Items()->AddChildObject(Parent, TSE(group->GroupName()), group);
    node->SetStateIndex(IsIncluded(group) ? 1 : 2);
    AddGroups(node, group);
  }
}

void TFileGroupSelectForm::RefreshTree() {
  TInstallContainer* c = Container();
  if (!c) throw Exception("Cannot show the install file groups dialog for blank container property");
  auto* top = dynamic_cast<TFileContainer*>(c);
  if (!top) throw Exception("Container for " + Name() + " must be TFileContainer descendant");
  TTreeNodes* items = GroupListBox->Items();
  items->BeginUpdate();
  items->Clear();
  TTreeNode* root = items->AddChildObject(nullptr, TSE(top->GroupName()), top);
  root->SetStateIndex(1);
  AddGroups(root, top);
  CurrentGroup = top;
  GroupListBox->SetSelected(root);
  items->EndUpdate();
  root->Expand(false);
  GroupListBox->SetSelected(root);
  GroupListBox->Repaint();
}

void TFileGroupSelectForm::SetButtons() {
  if (!CurrentGroup) return;
  auto* top = dynamic_cast<TFileContainer*>(Container());
  SpaceRequiredLabel->SetCaption(BytesText(top ? static_cast<double>(top->GetSize(false)) : 0.0));
  const std::string dest = CurrentGroup->GetDestDir();
  const char letter = dest.empty() ? '\0' : static_cast<char>(std::toupper(static_cast<unsigned char>(dest[0])));
  // A destination without a drive letter has no drive to measure.
  const int64_t free = (letter >= 'A' && letter <= 'Z') ? DriveFreeBytes(letter) : -1;
  SpaceAvailableLabel->SetCaption(BytesText(static_cast<double>(free)));
  DirectoryLabel->SetText(dest);
  // A folder longer than its box shows its end, the part a user chose.
  DirectoryLabel->SetSelStart(static_cast<int>(Widen(dest).size()));
  BrowseBtn->SetEnabled(CurrentGroup->AllowChangeDir());
  if (TStrings* desc = CurrentGroup->Description()) {
    const bool has = desc->Count() > 0;
    DescriptionMemo->SetVisible(has);
    GroupDescLabel->SetVisible(has);
    if (has) {
      if (MTranslator)
        MTranslator->TranslateMemo(qlEnglish, desc, DescriptionMemo->Lines());
      else
        DescriptionMemo->Lines()->Assign(desc);
    }
    Application->ProcessMessages();
  }
  GroupListBox->Repaint();
  ToggleBtn->SetEnabled(CurrentGroup->AllowChoice());
  if (TTreeNode* node = GroupListBox->Selected()) {
    node->SetStateIndex(IsIncluded(CurrentGroup) ? 1 : 2);
    GroupListBox->Repaint();
  }
}

void TFileGroupSelectForm::GroupListBoxClick(TObject*) {
  if (TTreeNode* node = GroupListBox->Selected()) CurrentGroup = static_cast<TFileContainer*>(node->Data());
  SetButtons();
}

void TFileGroupSelectForm::GroupListBoxStateImageClick(TObject*) {
  // The group's box ticks as the button does, for the node highlighted now
  // (Space follows the keys that moved the highlight, which no click told).
  if (TTreeNode* node = GroupListBox->Selected()) CurrentGroup = static_cast<TFileContainer*>(node->Data());
  if (CurrentGroup && CurrentGroup->AllowChoice())
    ToggleBtnClick(ToggleBtn);
  else
    SetButtons();
}

void TFileGroupSelectForm::ToggleBtnClick(TObject*) {
  if (GroupListBox->CanFocus()) GroupListBox->SetFocus();
  if (CurrentGroup) CurrentGroup->SetInclude(!CurrentGroup->Include());
  SetButtons();
}

void TFileGroupSelectForm::BrowseBtnClick(TObject*) {
  if (!CurrentGroup) return;
  if (OpenDialog->Execute()) {
    // The name confirmed is the folder: one typed there names the folder to
    // make, and a file picked in the list stands for the folder it is in.
    // The dialog takes any text as typed, and a folder that no file can have
    // would only fail once the files are copied: the whole name is checked.
    std::string folder = DirectoryWOBS(OpenDialog->FileName());
    TFolderFault fault = DestinationFolderFault(folder);
    if (fault.Why.empty() && FileExists(folder)) {
      folder = DirectoryWOBS(ExtractFilePath(folder));
      fault = DestinationFolderFault(folder);
    }
    if (fault.Why.empty()) {
      CurrentGroup->SetDestDirType(ddAbsolute);
      CurrentGroup->SetDestDir(folder);
    } else {
      Application->MessageBox(TSEFormat(fault.Why, {folder, fault.Part}), Caption(), MB_OK | MB_ICONWARNING);
    }
  }
  SetButtons();
}

namespace {
void InitFileGroupSelectForm() {
  FileGroupSelectFormBIFEntry = AddToBIFList(&TFileGroupSelectForm::StaticClassInfo(), nullptr, nullptr);
}
TUnitRegistration registration(ulWizardForms, "ordlg_FileGroupSelect", InitFileGroupSelectForm, nullptr);
}  // namespace
