#include "classlib/Buttons.h"

#include <algorithm>

#include "classlib/WinText.h"

const TEnumInfo BitBtnKindInfo{"TBitBtnKind", {"bkCustom", "bkOK", "bkCancel", "bkHelp", "bkYes", "bkNo",
                                               "bkClose", "bkAbort", "bkRetry", "bkIgnore", "bkAll"}};

QNT_PUBLISH(TBitBtn,
  Prop::Enum("Kind", &TBitBtn::Kind, &TBitBtn::SetKind, BitBtnKindInfo, bkCustom),
  Prop::Integer("NumGlyphs", &TBitBtn::NumGlyphs, &TBitBtn::SetNumGlyphs, 1));

TBitBtn::TBitBtn(TComponent* AOwner) : TButton(AOwner), FGlyph(new TBitmap) {
  FGlyph->OnChange = [this](TObject*) { GlyphChanged(); };
}

TBitBtn::~TBitBtn() {
  DestroyHandle();
  delete FGlyph;
}

DWORD TBitBtn::ButtonType() const { return FGlyph->Empty() ? TButton::ButtonType() : BS_OWNERDRAW; }

void TBitBtn::SetNumGlyphs(int Value) {
  FNumGlyphs = std::clamp(Value, 1, 4);
  Invalidate();
}

void TBitBtn::GlyphChanged() {
  if (HandleAllocated()) {
    LONG_PTR s = GetWindowLongPtrW(Handle(), GWL_STYLE) & ~static_cast<LONG_PTR>(BS_TYPEMASK);
    SetWindowLongPtrW(Handle(), GWL_STYLE, s | static_cast<LONG_PTR>(ButtonType()));
  }
  Invalidate();
}

bool TBitBtn::CNDrawItem(DRAWITEMSTRUCT* Item) {
  HDC dc = Item->hDC;
  RECT r = Item->rcItem;
  bool pressed = Item->itemState & ODS_SELECTED;
  bool focused = Item->itemState & ODS_FOCUS;
  bool disabled = Item->itemState & ODS_DISABLED;
  if (Default() || focused) {
    FrameRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    InflateRect(&r, -1, -1);
  }
  DrawFrameControl(dc, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));
  InflateRect(&r, -2, -2);
  if (pressed) OffsetRect(&r, 1, 1);
  HGDIOBJ oldFont = SelectObject(dc, FontHandle());
  std::wstring text = Widen(GetText());
  RECT tr{0, 0, 0, 0};
  if (!text.empty()) DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &tr, DT_SINGLELINE | DT_CALCRECT);
  int gw = FGlyph->Width() / FNumGlyphs, gh = FGlyph->Height();
  int spacing = text.empty() || gw == 0 ? 0 : 4;
  int total = gw + spacing + (tr.right - tr.left);
  int x = r.left + ((r.right - r.left) - total) / 2;
  if (gw > 0) {
    int part = disabled && FNumGlyphs > 1 ? 1 : 0;
    FGlyph->DrawPart(dc, x, r.top + ((r.bottom - r.top) - gh) / 2, part * gw, 0, gw, gh, FGlyph->TransparentColor());
  }
  if (!text.empty()) {
    RECT t{x + gw + spacing, r.top, r.right, r.bottom};
    SetBkMode(dc, TRANSPARENT);
    UINT flags = DT_SINGLELINE | DT_VCENTER | DT_LEFT;
    if (disabled) {
      OffsetRect(&t, 1, 1);
      SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
      DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &t, flags);
      OffsetRect(&t, -1, -1);
      SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    } else {
      SetTextColor(dc, ColorToRGB(FFont->Color()));
    }
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &t, flags);
  }
  SelectObject(dc, oldFont);
  if (focused) {
    RECT f = Item->rcItem;
    InflateRect(&f, -4, -4);
    DrawFocusRect(dc, &f);
  }
  return true;
}

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
