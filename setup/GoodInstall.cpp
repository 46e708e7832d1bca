#include "setup/GoodInstall.h"

#include <windows.h>

#include "classlib/Units.h"
#include "engine/routines_BorlandEnvironment.h"
#include "engine/cmp_TInstallContainer.h"
#include "setup/InstallModule.h"

QNT_PUBLISH(TGoodInstallForm);

TGoodInstallForm::TGoodInstallForm(TComponent* AOwner) : TBaseInstallForm(AOwner) {
  RegisterHandler("FormCreate", this, &TGoodInstallForm::FormCreate);
  RegisterHandler("BackBtnClick", this, &TGoodInstallForm::BackBtnClick);
  RegisterHandler("ProceedBtnClick", this, &TGoodInstallForm::ProceedBtnClick);
  RegisterHandler("HelpBTNClick", this, &TGoodInstallForm::HelpBTNClick);
  ReadForm("TGoodInstallForm");
  SetDM(LinkToManager(dmAfterGoodInstall));
  SetOrder(10);
}

void TGoodInstallForm::FormCreate(TObject*) {
  Delphi2Good = FindChild<TPanel>(this, "Delphi2Good");
  Delphi3Bad = FindChild<TPanel>(this, "Delphi3Bad");
  Delphi3Good = FindChild<TPanel>(this, "Delphi3Good");
  BackBtn = FindChild<TBitBtn>(this, "BackBtn");
  ProceedBtn = FindChild<TBitBtn>(this, "ProceedBtn");
  FinishBtn = FindChild<TBitBtn>(this, "FinishBtn");
  HelpBTN = FindChild<TBitBtn>(this, "HelpBTN");
  ThemeImage = FindChild<TImage>(this, "ThemeBitmap");
  BackButton = BackBtn;
  OkButtons = {ProceedBtn, FinishBtn};
  ThemeImage->Picture()->LoadFromResourceName("INSTALLTHEME1");
  HelpBTN->Glyph()->LoadFromResourceName("BLUEQUESTIONMARK");
}

void TGoodInstallForm::RefreshInformation() {
  TBaseInstallForm::RefreshInformation();
  BackBtn->SetVisible(!IsFirst());
  ProceedBtn->SetVisible(!IsLast());
  FinishBtn->SetVisible(!ProceedBtn->Visible());
  ShowResultPanel();
  FocusIfVisible(FinishBtn->Visible() ? FinishBtn : ProceedBtn);
}

void TGoodInstallForm::ShowResultPanel() {
  TPanel* shown = Delphi2Good;
  if (BorlandEnvironment && BorlandEnvironment->HasProduct(bpDelphi30))
    shown = PackageInstalled ? Delphi3Good : Delphi3Bad;
  for (TPanel* p : {Delphi2Good, Delphi3Bad, Delphi3Good}) p->SetVisible(p == shown);
  shown->BringToFront();
}

std::string TGoodInstallForm::Delphi32Command(const std::string& Delphi30Bin) {
  return "\"" + Delphi30Bin + "\\Delphi32.EXE\"";
}

void TGoodInstallForm::ProceedBtnClick(TObject*) {
  Screen->SetCursor(crHourGlass);
  try {
    if (BorlandEnvironment && BorlandEnvironment->HasProduct(bpDelphi30))
      WinExec(Delphi32Command(BorlandEnvironment->Delphi30Bin()).c_str(), SW_SHOW);
  } catch (...) {
    Screen->SetCursor(crDefault);
    throw;
  }
  Screen->SetCursor(crDefault);
  Next();
}

void TGoodInstallForm::HelpBTNClick(TObject*) {
  if (!IM || !IM->HelpFile) return;
  Application->SetHelpFile(IM->HelpFile->GetDestFile());
  Application->HelpJump("Contents");
}

namespace {
void InitGoodInstall() { GoodInstallFormBIFEntry = AddToBIFList(&TGoodInstallForm::StaticClassInfo(), nullptr, nullptr); }
TUnitRegistration registration(ulWizardForms, "GoodInstall", InitGoodInstall, nullptr);
}  // namespace
