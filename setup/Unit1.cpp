#include "setup/Unit1.h"

QNT_PUBLISH(TForm1);

TForm1::TForm1(TComponent* AOwner) : TForm(AOwner) { ReadForm("TFORM1"); }
