#include "classlib/ExtCtrls.h"

#include "classlib/WinText.h"

const TEnumInfo PanelBevelInfo{"TPanelBevel", {"bvNone", "bvLowered", "bvRaised", "bvSpace"}};

QNT_PUBLISH(TPanel,
  Prop::String("Caption", &TPanel::Caption, &TPanel::SetCaption),
  Prop::Enum("BevelInner", &TPanel::BevelInner, &TPanel::SetBevelInner, PanelBevelInfo, bvNone),
  Prop::Enum("BevelOuter", &TPanel::BevelOuter, &TPanel::SetBevelOuter, PanelBevelInfo, bvRaised),
  Prop::Integer("BevelWidth", &TPanel::BevelWidth, &TPanel::SetBevelWidth, 1),
  Prop::Enum("BorderStyle", &TPanel::BorderStyle, &TPanel::SetBorderStyle, BorderStyleInfo, bsNone),
  Prop::Enum("Alignment", &TPanel::Alignment, &TPanel::SetAlignment, AlignmentInfo, taCenter),
  Prop::Event("OnClick", &TPanel::OnClick, &TPanel::OnClick));

TPanel::TPanel(TComponent* AOwner) : TCustomControl(AOwner) {
  FWidth = 185;
  FHeight = 41;
}

void TPanel::SetBevelInner(TPanelBevel Value) {
  FBevelInner = Value;
  Realign();
  Invalidate();
}

void TPanel::SetBevelOuter(TPanelBevel Value) {
  FBevelOuter = Value;
  Realign();
  Invalidate();
}

void TPanel::SetBevelWidth(int Value) {
  FBevelWidth = Value;
  Realign();
  Invalidate();
}

void TPanel::SetBorderStyle(TBorderStyle Value) {
  FBorderStyle = Value;
  Realign();
  Invalidate();
}

void TPanel::SetAlignment(TAlignment Value) {
  FAlignment = Value;
  Invalidate();
}

void TPanel::AdjustClientRect(RECT& Rect) const {
  TCustomControl::AdjustClientRect(Rect);
  int bevel = (FBevelOuter != bvNone ? FBevelWidth : 0) + (FBevelInner != bvNone ? FBevelWidth : 0);
  if (FBorderStyle == bsSingle) bevel += 1;
  InflateRect(&Rect, -bevel, -bevel);
}

void TPanel::PaintWindow(HDC DC) {
  TCustomControl::PaintWindow(DC);
  RECT r;
  GetClientRect(FHandle, &r);
  if (FBorderStyle == bsSingle) {
    FrameRect(DC, &r, GetSysColorBrush(COLOR_WINDOWFRAME));
    InflateRect(&r, -1, -1);
  }
  auto bevel = [&](TPanelBevel b) {
    if (b == bvNone) return;
    for (int i = 0; i < FBevelWidth; ++i) {
      if (b == bvLowered) DrawEdge(DC, &r, BDR_SUNKENOUTER, BF_RECT);
      if (b == bvRaised) DrawEdge(DC, &r, BDR_RAISEDINNER, BF_RECT);
      InflateRect(&r, -1, -1);
    }
  };
  bevel(FBevelOuter);
  InflateRect(&r, -FBorderWidth, -FBorderWidth);
  bevel(FBevelInner);
  if (FText.empty()) return;
  SetBkMode(DC, TRANSPARENT);
  SetTextColor(DC, ColorToRGB(FFont->Color()));
  HGDIOBJ old = SelectObject(DC, FontHandle());
  std::wstring t = Widen(FText);
  UINT align = FAlignment == taCenter ? DT_CENTER : FAlignment == taRightJustify ? DT_RIGHT : DT_LEFT;
  DrawTextW(DC, t.c_str(), static_cast<int>(t.size()), &r, DT_SINGLELINE | DT_VCENTER | DT_EXPANDTABS | align);
  SelectObject(DC, old);
}
