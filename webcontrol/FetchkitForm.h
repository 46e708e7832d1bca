// The progress window of a web install: the product's picture, the message,
// the bytes received, a progress bar and the Abort button. Its layout is the
// text form resource TFMFETCHKIT (webcontrol/FetchkitForm.txt); the panel
// that shows it fills it and attaches the Abort button's click.
#pragma once
#include "classlib/Buttons.h"
#include "classlib/ComCtrls.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Forms.h"
#include "classlib/StdCtrls.h"

class TfmFetchkit : public TForm {
  QNT_PUBLISHED(TfmFetchkit, TForm)
public:
  explicit TfmFetchkit(TComponent* AOwner);

  TImage* Bitmap = nullptr;
  TLabel* MessageLbl = nullptr;
  TLabel* lblBytesTransferred = nullptr;
  TProgressBar* Progress = nullptr;
  TBitBtn* btnAbort = nullptr;
};
