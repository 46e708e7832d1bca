// The small window shown while the package is compiled into Delphi 3.0.
#pragma once
#include "classlib/ComCtrls.h"
#include "classlib/Forms.h"

class TFormCompile : public TForm {
  QNT_PUBLISHED(TFormCompile, TForm)
public:
  explicit TFormCompile(TComponent* AOwner);
  TAnimate* Animate1 = nullptr;

private:
  void FormShow(TObject* Sender);
  void FormClose(TObject* Sender, TCloseAction& Action);
};
