#include "setup/cmp_Rotate3DLabel.h"

#include <cmath>
#include <string>

#include "classlib/WinText.h"

const TEnumInfo T3DEffectShortInfo{"T3DEffectShort", {"A3dNormal", "A3dResit", "A3dRaised", "A3dShadowed"}};

QNT_PUBLISH(TLabelStyle,
  Prop::Integer("Angle", &TLabelStyle::Angle, &TLabelStyle::SetAngle, 0),
  Prop::Enum("AStyle3D", &TLabelStyle::AStyle3D, &TLabelStyle::setStyleEffect, T3DEffectShortInfo, A3dRaised),
  Prop::Integer("AShadeRightBottom", &TLabelStyle::AShadeRightBottom, &TLabelStyle::SetShadowColor, 0x808080,
                &ColorIdents),
  Prop::Integer("AShadeLeftTop", &TLabelStyle::AShadeLeftTop, &TLabelStyle::SetShadeLeftTop, 0xFFFFFF,
                &ColorIdents),
  Prop::Boolean("AShadeLTSet", &TLabelStyle::AShadeLTSet, &TLabelStyle::SetShadeLT, true),
  Prop::Integer("AHShadeOffSet", &TLabelStyle::AHShadeOffSet, &TLabelStyle::SetFhOffSet, 5),
  Prop::Integer("AVShadeOffSet", &TLabelStyle::AVShadeOffSet, &TLabelStyle::SetFvOffSet, -5));
QNT_PUBLISH(TRotate3DLabel,
  Prop::Object("LabelStyle", &TRotate3DLabel::LabelStyle),
  Prop::Boolean("MyTransparent", &TRotate3DLabel::MyTransparent, &TRotate3DLabel::setMyTransparent, true));

namespace {
constexpr TColor White = 0xFFFFFF;
}

// ------------------------------------------------------------ TLabelStyle

void TLabelStyle::SetAngle(int32_t Value) {
  if (Value < 0 || Value > 359) Value = 0;
  if (Value == FAngle) return;
  FAngle = Value;
  Invalidate();
}

void TLabelStyle::setStyleEffect(T3DEffectShort Value) {
  if (Value == FStyle3D) return;
  FStyle3D = Value;
  Invalidate();
}

void TLabelStyle::SetShadowColor(TColor Value) {
  if (Value == FShadeRightBottom) return;
  FShadeRightBottom = Value;
  Invalidate();
}

void TLabelStyle::SetShadeLeftTop(TColor Value) {
  if (Value == FShadeLeftTop) return;
  if (FShadeLTSet) {
    // Forced to white. A colour that comes from a stream or a copy is the
    // one to bring back when the forcing goes, which the stream or copy
    // does next; one set by hand is ignored.
    if (Restoring()) FLast = Value;
    return;
  }
  FShadeLeftTop = Value;
  Invalidate();
}

void TLabelStyle::SetShadeLT(bool Value) {
  const bool changed = Value != FShadeLTSet;
  if (changed) {
    FShadeLTSet = Value;
    if (Value) {
      FLast = FShadeLeftTop;
      FShadeLeftTop = White;
    } else {
      FShadeLeftTop = FLast;
    }
  }
  if (changed || (FShadeLTSet && (FStyle3D == A3dRaised || FStyle3D == A3dResit) && FLast != White)) Invalidate();
}

void TLabelStyle::SetFhOffSet(int Value) {
  if (Value == FHShadeOffSet) return;
  FHShadeOffSet = Value;
  if (FStyle3D == A3dShadowed) Invalidate();
}

void TLabelStyle::SetFvOffSet(int Value) {
  if (Value == FVShadeOffSet) return;
  FVShadeOffSet = Value;
  if (FStyle3D == A3dShadowed) Invalidate();
}

void TLabelStyle::Invalidate() {
  if (OnChange) OnChange(this);
}

void TLabelStyle::Assign(const TPersistent* Source) {
  auto* s = dynamic_cast<const TLabelStyle*>(Source);
  if (!s) {
    TPersistent::Assign(Source);
    return;
  }
  FAssigning = true;
  try {
    SetAngle(s->FAngle);
    setStyleEffect(s->FStyle3D);
    SetShadowColor(s->FShadeRightBottom);
    SetShadeLeftTop(s->FShadeLeftTop);
    SetShadeLT(s->FShadeLTSet);
    SetFhOffSet(s->FHShadeOffSet);
    SetFvOffSet(s->FVShadeOffSet);
    // While the source forces white, what it would bring back is its own
    // remembered colour.
    if (s->FShadeLTSet) FLast = s->FLast;
  } catch (...) {
    FAssigning = false;
    throw;
  }
  FAssigning = false;
  Invalidate();
}

// ------------------------------------------------------------------ layout

TRotatedLayout RotatedLayout(int Width, int Height, int TextWidth, int TextHeight, int Angle) {
  const double rad = Angle * (3.14159265358979323846 / 180.0);
  const double c = std::cos(rad), s = std::sin(rad);
  const int midX = Width / 2, midY = Height / 2;
  TRotatedLayout r{};
  r.Origin.x = midX - static_cast<int>(std::trunc(TextWidth / 2.0 * c)) - static_cast<int>(std::trunc(TextHeight / 2.0 * s));
  r.Origin.y = midY + static_cast<int>(std::trunc(TextWidth / 2.0 * s)) - static_cast<int>(std::trunc(TextHeight / 2.0 * c));
  const int w = TextWidth + 10, h = TextHeight + 7;
  const int a = static_cast<int>(std::trunc(w / 2.0 * c)), b = static_cast<int>(std::trunc(w / 2.0 * s));
  const int cc = static_cast<int>(std::trunc(h / 2.0 * c)), d = static_cast<int>(std::trunc(h / 2.0 * s));
  r.Box[0] = POINT{midX - a - d, midY + b - cc};
  r.Box[1] = POINT{midX + a - d, midY - b - cc};
  r.Box[2] = POINT{midX + a + d, midY - b + cc};
  r.Box[3] = POINT{midX - a + d, midY + b + cc};
  return r;
}

void Style3DOffsets(T3DEffectShort Look, int& Highlight, int& Shadow) {
  Highlight = Look == A3dRaised ? -1 : Look == A3dResit ? 1 : 0;
  Shadow = -Highlight;
}

// ---------------------------------------------------------- TRotate3DLabel

TRotate3DLabel::TRotate3DLabel(TComponent* AOwner)
    : TLabel(AOwner), FLabelStyle(new TLabelStyle(this)), FDegToRad(3.14159265358979323846 / 180.0) {
  SetTransparent(true);
  SetAutoSize(false);
  Font()->SetName("Arial");
  Font()->SetStyle(1u << fsBold);
  FLabelStyle->OnChange = [this](TObject* Sender) { StyleChanged(Sender); };
}

TRotate3DLabel::~TRotate3DLabel() {
  FLabelStyle->OnChange = nullptr;
  delete FLabelStyle;
}

void TRotate3DLabel::setLabelstyle(const TLabelStyle* Value) {
  FLabelStyle->Assign(Value);
  Invalidate();
}

void TRotate3DLabel::setMyTransparent(bool Value) {
  if (Value == FMyTransparent) return;
  FMyTransparent = Value;
  // The class library's controls keep their own colour already; nothing
  // follows the parent's here.
  Invalidate();
}

void TRotate3DLabel::StyleChanged(TObject*) { Invalidate(); }

void TRotate3DLabel::Paint(HDC DC) {
  const int angle = FLabelStyle->Angle();
  FCos = std::cos(angle * FDegToRad);
  FSin = std::sin(angle * FDegToRad);
  const COLORREF textColor = ColorToRGB(Font()->Color());
  // A filled box is drawn plainly, from now on.
  if (!FMyTransparent) FLabelStyle->setStyleEffect(A3dNormal);
  const T3DEffectShort look = FLabelStyle->AStyle3D();
  int highlight = 0, shadow = 0;
  Style3DOffsets(look, highlight, shadow);

  HFONT plain = FontHandle();
  LOGFONTW lf{};
  GetObjectW(plain, sizeof lf, &lf);
  lf.lfEscapement = angle * 10;
  lf.lfOutPrecision = OUT_TT_ONLY_PRECIS;
  HFONT rotated = CreateFontIndirectW(&lf);

  const std::wstring text = Widen(Caption());
  HGDIOBJ oldFont = SelectObject(DC, plain);
  SIZE size{};
  GetTextExtentPoint32W(DC, text.c_str(), static_cast<int>(text.size()), &size);
  const TRotatedLayout layout = RotatedLayout(Width(), Height(), size.cx, size.cy, angle);
  const int x = layout.Origin.x, y = layout.Origin.y;

  if (!FMyTransparent) {
    HBRUSH brush = CreateSolidBrush(ColorToRGB(Color()));
    HGDIOBJ oldBrush = SelectObject(DC, brush);
    Polygon(DC, layout.Box, 4);
    SelectObject(DC, oldBrush);
    DeleteObject(brush);
  }

  SelectObject(DC, rotated ? rotated : plain);
  const int oldMode = SetBkMode(DC, TRANSPARENT);
  auto layer = [&](COLORREF Color, int X, int Y) {
    SetTextColor(DC, Color);
    TextOutW(DC, X, Y, text.c_str(), static_cast<int>(text.size()));
  };
  if (look == A3dRaised || look == A3dResit) {
    layer(ColorToRGB(FLabelStyle->AShadeLeftTop()), x + highlight, y + highlight);
    layer(ColorToRGB(FLabelStyle->AShadeRightBottom()), x + shadow, y + shadow);
  } else if (look == A3dShadowed) {
    layer(ColorToRGB(FLabelStyle->AShadeRightBottom()), x + FLabelStyle->AHShadeOffSet(),
          y + FLabelStyle->AVShadeOffSet());
  }
  layer(textColor, x, y);
  SetBkMode(DC, oldMode);
  SelectObject(DC, oldFont);
  if (rotated) DeleteObject(rotated);
}
