#include "classlib/Graphics.h"

#include <cmath>

const TIdentMap ColorIdents{{{"clBlack", clBlack},
                             {"clWhite", clWhite},
                             {"clWindowText", clWindowText},
                             {"clWindow", clWindow},
                             {"clBtnFace", clBtnFace}}};

const TIdentMap CharsetIdents{{{"ANSI_CHARSET", 0},
                               {"DEFAULT_CHARSET", 1},
                               {"SYMBOL_CHARSET", 2},
                               {"SHIFTJIS_CHARSET", 128},
                               {"HANGEUL_CHARSET", 129},
                               {"GB2312_CHARSET", 134},
                               {"CHINESEBIG5_CHARSET", 136},
                               {"OEM_CHARSET", 255},
                               {"GREEK_CHARSET", 161},
                               {"TURKISH_CHARSET", 162},
                               {"HEBREW_CHARSET", 177},
                               {"ARABIC_CHARSET", 178},
                               {"BALTIC_CHARSET", 186},
                               {"RUSSIAN_CHARSET", 204},
                               {"THAI_CHARSET", 222},
                               {"EASTEUROPE_CHARSET", 238},
                               {"VIETNAMESE_CHARSET", 163}}};

const TEnumInfo FontPitchInfo{"TFontPitch", {"fpDefault", "fpVariable", "fpFixed"}};
const TEnumInfo FontStyleInfo{"TFontStyle", {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"}};

QNT_PUBLISH(TFont,
  Prop::Integer("Charset", &TFont::Charset, &TFont::SetCharset, 1, &CharsetIdents),
  Prop::Integer("Color", &TFont::Color, &TFont::SetColor, clWindowText, &ColorIdents),
  Prop::Integer("Height", &TFont::Height, &TFont::SetHeight, -11),
  Prop::String("Name", &TFont::Name, &TFont::SetName, "MS Sans Serif"),
  Prop::Enum("Pitch", &TFont::Pitch, &TFont::SetPitch, FontPitchInfo, fpDefault),
  Prop::Integer("Size", &TFont::Size, &TFont::SetSize),
  Prop::Set("Style", &TFont::Style, &TFont::SetStyle, FontStyleInfo, 0));

int TFont::Size() const {
  return static_cast<int>(std::lround(-static_cast<double>(FHeight) * 72 / PixelsPerInch));
}

void TFont::SetSize(int Points) {
  SetHeight(-static_cast<int>(std::lround(static_cast<double>(Points) * PixelsPerInch / 72)));
}

void TFont::Changed() {
  if (OnChange) OnChange(this);
}

void TFont::Assign(const TPersistent* Source) {
  if (auto f = dynamic_cast<const TFont*>(Source)) {
    FCharset = f->FCharset;
    FColor = f->FColor;
    FHeight = f->FHeight;
    FName = f->FName;
    FPitch = f->FPitch;
    FStyle = f->FStyle;
    Changed();
    return;
  }
  TPersistent::Assign(Source);
}
