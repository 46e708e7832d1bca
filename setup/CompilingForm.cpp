#include "setup/CompilingForm.h"

#include "classlib/StdCtrls.h"

QNT_PUBLISH(TFormCompile);

TFormCompile::TFormCompile(TComponent* AOwner) : TForm(AOwner) {
  RegisterClasses<TLabel, TAnimate>();
  RegisterHandler("FormShow", this, &TFormCompile::FormShow);
  RegisterHandler("FormClose", this, &TFormCompile::FormClose);
  ReadForm("TFormCompile");
  Animate1 = dynamic_cast<TAnimate*>(FindComponent("Animate1"));
}

void TFormCompile::FormShow(TObject*) {
  // The clip is the system's; a system without it shows the window still.
  try {
    if (Animate1) Animate1->SetActive(true);
  } catch (const std::exception&) {
  }
}

void TFormCompile::FormClose(TObject*, TCloseAction&) {
  if (Animate1) Animate1->SetActive(false);
}
