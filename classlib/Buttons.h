// Bitmap buttons.
#pragma once
#include "classlib/StdCtrls.h"

enum TBitBtnKind { bkCustom, bkOK, bkCancel, bkHelp, bkYes, bkNo, bkClose, bkAbort, bkRetry, bkIgnore, bkAll };
extern const TEnumInfo BitBtnKindInfo;

// A push button that may carry a picture beside its caption. Kind presets
// the caption, ModalResult, Default (bkOK, bkYes) and Cancel (bkCancel, bkNo).
class TBitBtn : public TButton {
  QNT_PUBLISHED(TBitBtn, TButton)
public:
  explicit TBitBtn(TComponent* AOwner);
  TBitBtnKind Kind() const { return FKind; }
  void SetKind(TBitBtnKind Value);

private:
  TBitBtnKind FKind = bkCustom;
};
