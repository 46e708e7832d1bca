// This setup's closing page after a good install: how the components got
// into the Borland environments (one of three result panels), the product's
// help, and Delphi 3.0 started when the user leaves the page.
#pragma once
#include <string>

#include "classlib/Buttons.h"
#include "classlib/ExtCtrls.h"
#include "wizard/dlgcmp_TBaseDlg.h"

class TGoodInstallForm : public TBaseInstallForm {
  QNT_PUBLISHED(TGoodInstallForm, TBaseInstallForm)
public:
  explicit TGoodInstallForm(TComponent* AOwner);
  void RefreshInformation() override;
  bool Skip() override { return false; }
  // Brings the panel that fits the Delphi 3.0 detection and the package
  // compile to the front.
  void ShowResultPanel();

  TPanel* Delphi2Good = nullptr;
  TPanel* Delphi3Bad = nullptr;
  TPanel* Delphi3Good = nullptr;
  TBitBtn* BackBtn = nullptr;
  TBitBtn* ProceedBtn = nullptr;
  TBitBtn* FinishBtn = nullptr;
  TBitBtn* HelpBTN = nullptr;

  // The command that starts Delphi 3.0 from its program folder: the path
  // quoted, since the folder usually holds blanks.
  static std::string Delphi32Command(const std::string& Delphi30Bin);

private:
  void FormCreate(TObject* Sender);
  void BackBtnClick(TObject*) { Previous(); }
  void ProceedBtnClick(TObject* Sender);
  void HelpBTNClick(TObject* Sender);
};
