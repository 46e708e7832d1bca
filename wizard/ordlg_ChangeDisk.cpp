#include "wizard/ordlg_ChangeDisk.h"

#include "classlib/Units.h"
#include "foundation/routines/routines_FileSystem.h"

std::string DiskPromptText(int Disk) { return TSEFormat("Please insert disk number %d", {Disk}); }

QNT_PUBLISH(TChangeDiskForm);

TChangeDiskForm::TChangeDiskForm(TComponent* AOwner) : TBaseChangeDiskForm(AOwner) {
  RegisterHandler("FormShow", this, &TChangeDiskForm::FormShow);
  RegisterHandler("BrowseBtnClick", this, &TChangeDiskForm::BrowseBtnClick);
  RegisterHandler("CancelBtnClick", this, &TChangeDiskForm::CancelBtnClick);
  ReadForm("TChangeDiskForm");
  PromptDiskLabel = FindChild<TTranslateLabel>(this, "PromptDiskLabel");
  PathEdit = FindChild<TEdit>(this, "PathEdit");
  BrowseBtn = FindChild<TTranslateBitBtn>(this, "BrowseBtn");
  InstallBtn = FindChild<TTranslateBitBtn>(this, "InstallBtn");
  CancelBtn = FindChild<TTranslateBitBtn>(this, "CancelBtn");
  FindChild<TImage>(this, "ThemeBitmap")->Picture()->LoadFromResourceName("CHANGEDISK");
  SetDM(LinkToManager(dmChangeDisk));
}

void TChangeDiskForm::FormShow(TObject*) {
  MakeRoomFor(FindChild<TTranslateLabel>(this, "Label2"));
  // A Browse button grown for its caption keeps its right edge in line with
  // Cancel's, the path's box giving it the room.
  if (const int over = BrowseBtn->Left() + BrowseBtn->Width() - (CancelBtn->Left() + CancelBtn->Width()); over > 0) {
    BrowseBtn->SetLeft(BrowseBtn->Left() - over);
    PathEdit->SetWidth(PathEdit->Width() - over);
  }
  if (DiskParameter()) {
    PromptDiskLabel->SetCaption(DiskPromptText(DiskParameter()->Disk));
    PathEdit->SetText(DiskParameter()->SourceDir);
  }
  if (InstallBtn->CanFocus()) InstallBtn->SetFocus();
}

// A translation may take more lines than the English text, and a language's
// face taller lines: the label grows to its text and what lies below it
// moves down, the window with it. The English text fits as designed.
void TChangeDiskForm::MakeRoomFor(TLabel* Label) {
  const int designed = Label->Height();
  Label->SetAutoSize(true);  // keeps the width, measures the wrapped height
  const int grow = Label->Height() - designed;
  Label->SetAutoSize(false);
  if (grow <= 0) {
    Label->SetHeight(designed);
    return;
  }
  for (int i = 0; i < ControlCount(); ++i)
    if (TControl* c = Controls(i); c != Label && c->Top() >= Label->Top() + designed) c->SetTop(c->Top() + grow);
  SetClientHeight(ClientHeight() + grow);
}

void TChangeDiskForm::BrowseBtnClick(TObject*) {
  TOpenFolderDialog browser;
  if (browser.Execute() && DiskParameter()) DiskParameter()->SourceDir = browser.Path();
  if (DiskParameter()) PathEdit->SetText(DiskParameter()->SourceDir);
}

LRESULT TChangeDiskForm::WndProc(UINT Msg, WPARAM WParam, LPARAM LParam) {
  // The window's close command is a Cancel, confirmed by the controller; it
  // never lets the install go on as Proceed would.
  if (Msg == WM_CLOSE) {
    TryCancel();
    return 0;
  }
  return TBaseChangeDiskForm::WndProc(Msg, WParam, LParam);
}

namespace {
void InitChangeDiskForm() {
  ChangeDiskFormBCDFEntry = AddToBCDFList(&TChangeDiskForm::StaticClassInfo(), nullptr, nullptr);
}
TUnitRegistration registration(ulWizardForms, "ordlg_ChangeDisk", InitChangeDiskForm, nullptr);
}  // namespace
