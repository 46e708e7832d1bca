// The splash page of this setup: the product name pulsing in size, the
// version line on a rotated 3-D label and a picture. A form-only page of the
// before-install wizard, shown first; not translated.
#pragma once

// One tick of the pulsing title. From the title font's size in points and
// the current size step (+1 or -1): the step turns to +1 at 12 points or
// less and to -1 at 42 or more, the size moves by the step, and the light
// edge drawn up-left of the text is 1 pixel below 20 points, 2 below 34 and
// 3 from there up.
struct TTitleFrame {
  int Size;
  int Step;
  int EdgeOffset;
};
TTitleFrame NextTitleFrame(int Size, int Step);

#if defined(_WIN32) && !defined(QNT_SPLASH_WITHOUT_PAGES)
#include <array>

#include "classlib/ExtCtrls.h"
#include "foundation/translator/cmp_TTranslateControls.h"
#include "wizard/dlgcmp_TBaseDlg.h"

class TRotate3DLabel;

class TBeforeInstallDialog : public TBaseInstallForm {
  QNT_PUBLISHED(TBeforeInstallDialog, TBaseInstallForm)
public:
  explicit TBeforeInstallDialog(TComponent* AOwner);
  ~TBeforeInstallDialog() override;
  void RefreshInformation() override;
  void Leave() override;
  bool Skip() override { return false; }

  TImage* bmFront = nullptr;
  TImage* Image1 = nullptr;
  TRotate3DLabel* Rotate3DLabel2 = nullptr;
  TTranslateBitBtn* BackBtn = nullptr;
  TTranslateBitBtn* ProceedBtn = nullptr;
  TTranslateBitBtn* CancelBtn = nullptr;
  TTimer* tmQuillant32Label = nullptr;

  // The title's state: its size in points, the size step and the light
  // edge's offset of the last frame drawn.
  int TitleSize() const { return FTitleSize; }
  int TitleStep() const { return FStep; }
  int TitleEdge() const { return FEdge; }

  // One animation step (the timer's tick).
  void tmQuillant32LabelTimer(TObject* Sender);

private:
  void FormCreate(TObject* Sender);
  void FormDestroy(TObject* Sender);
  void BackBtnClick(TObject*) { Previous(); }
  void ProceedBtnClick(TObject*) { Next(); }
  void CancelBtnClick(TObject*) { TryCancel(); }
  void FreeOffScreen();

  // The title font at Size points: each size is made once, then reused.
  struct HFONT__* TitleFont(int Size);

  // The off-screen picture, made once, and the title font's sizes.
  HBITMAP__* FOffScreen = nullptr;
  std::array<struct HFONT__*, 64> FTitleFonts{};
  int FTitleSize = 42;
  int FStep = 1;
  int FEdge = 3;
};
#endif
