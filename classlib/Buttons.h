// Bitmap buttons.
#pragma once
#include "classlib/StdCtrls.h"

enum TBitBtnKind { bkCustom, bkOK, bkCancel, bkHelp, bkYes, bkNo, bkClose, bkAbort, bkRetry, bkIgnore, bkAll };
extern const TEnumInfo BitBtnKindInfo;

// A push button that may carry a picture beside its caption. Kind presets
// the caption, ModalResult, Default (bkOK, bkYes) and Cancel (bkCancel, bkNo).
// Glyph holds NumGlyphs pictures side by side (up, disabled); the first
// (the second when disabled and there is one) is drawn left of the caption,
// without the colour of the bitmap's bottom left pixel. With a glyph the
// button draws itself; without one it is a plain system button.
class TBitBtn : public TButton {
  QNT_PUBLISHED(TBitBtn, TButton)
public:
  explicit TBitBtn(TComponent* AOwner);
  ~TBitBtn() override;
  TBitBtnKind Kind() const { return FKind; }
  void SetKind(TBitBtnKind Value);
  TBitmap* Glyph() const { return FGlyph; }
  void SetGlyph(const TBitmap* Value) { FGlyph->Assign(Value); }
  int NumGlyphs() const { return FNumGlyphs; }
  void SetNumGlyphs(int Value);
  bool CNDrawItem(DRAWITEMSTRUCT* Item) override;

protected:
  DWORD ButtonType() const override;

private:
  void GlyphChanged();
  TBitBtnKind FKind = bkCustom;
  TBitmap* FGlyph;
  int FNumGlyphs = 1;
};
