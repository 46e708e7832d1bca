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
  if (DiskParameter()) {
    PromptDiskLabel->SetCaption(DiskPromptText(DiskParameter()->Disk));
    PathEdit->SetText(DiskParameter()->SourceDir);
  }
  if (InstallBtn->CanFocus()) InstallBtn->SetFocus();
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
