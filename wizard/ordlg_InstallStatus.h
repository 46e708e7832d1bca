// The install-status window: a small borderless window with one status text.
#pragma once
#include "classlib/ExtCtrls.h"
#include "classlib/Forms.h"
#include "classlib/StdCtrls.h"

class TInstallStatusForm : public TForm {
  QNT_PUBLISHED(TInstallStatusForm, TForm)
public:
  explicit TInstallStatusForm(TComponent* AOwner);

  TPanel* pnlBack = nullptr;
  TImage* Image1 = nullptr;
  TPanel* pnlMessage = nullptr;
  TLabel* lblMessage = nullptr;
};
