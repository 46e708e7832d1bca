#include "classlib/Buttons.h"

const TEnumInfo BitBtnKindInfo{"TBitBtnKind", {"bkCustom", "bkOK", "bkCancel", "bkHelp", "bkYes", "bkNo",
                                               "bkClose", "bkAbort", "bkRetry", "bkIgnore", "bkAll"}};

QNT_PUBLISH(TBitBtn,
  Prop::Enum("Kind", &TBitBtn::Kind, &TBitBtn::SetKind, BitBtnKindInfo, bkCustom));

TBitBtn::TBitBtn(TComponent* AOwner) : TButton(AOwner) {}

void TBitBtn::SetKind(TBitBtnKind Value) {
  FKind = Value;
  if (Value == bkCustom) return;
  static const struct {
    const char* Caption;
    TModalResult Result;
  } kinds[] = {{"", mrNone},        {"OK", mrOk},        {"Cancel", mrCancel}, {"&Help", mrNone},
               {"&Yes", mrYes},     {"&No", mrNo},       {"&Close", mrNone},   {"Abort", mrAbort},
               {"&Retry", mrRetry}, {"&Ignore", mrIgnore}, {"&All", mrAll}};
  const auto& k = kinds[Value];
  if (Caption().empty()) SetCaption(k.Caption);
  if (ModalResult() == mrNone) SetModalResult(k.Result);
  if (Value == bkOK || Value == bkYes) SetDefault(true);
  if (Value == bkCancel || Value == bkNo) SetCancel(true);
}
