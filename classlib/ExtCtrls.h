// Extended controls: panels, radio groups, bevels, images, gauges and
// timers.
#pragma once
#include "classlib/Controls.h"
#include "classlib/Forms.h"
#include "classlib/StdCtrls.h"

enum TPanelBevel { bvNone, bvLowered, bvRaised, bvSpace };
extern const TEnumInfo PanelBevelInfo;

// A container of its own window class with optional bevels and a caption.
// Aligned children share the area inside BorderWidth and the bevels.
class TPanel : public TCustomControl {
  QNT_PUBLISHED(TPanel, TCustomControl)
public:
  explicit TPanel(TComponent* AOwner);
  TPanelBevel BevelInner() const { return FBevelInner; }
  void SetBevelInner(TPanelBevel Value);
  TPanelBevel BevelOuter() const { return FBevelOuter; }
  void SetBevelOuter(TPanelBevel Value);
  int BevelWidth() const { return FBevelWidth; }
  void SetBevelWidth(int Value);
  TBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TBorderStyle Value);
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment Value);
  // The single border sunken in 3-D (true) or a flat line.
  bool Ctl3D() const { return FCtl3D; }
  void SetCtl3D(bool Value);
  // The panel's own look (background, border, bevels, caption) in Bounds of
  // DC, with or without its window; its children are not drawn.
  void PaintTo(HDC DC, const RECT& Bounds);

protected:
  void AdjustClientRect(RECT& Rect) const override;
  void PaintWindow(HDC DC) override;

private:
  TPanelBevel FBevelInner = bvNone;
  TPanelBevel FBevelOuter = bvRaised;
  int FBevelWidth = 1;
  TBorderStyle FBorderStyle = bsNone;
  TAlignment FAlignment = taCenter;
  bool FCtl3D = true;
};

// A group box of radio buttons, one per item, in Columns columns. ItemIndex
// is the checked one (-1: none); OnClick fires whenever it changes, whether
// by a click or in code (not while the form is read).
class TRadioGroup : public TGroupBox {
  QNT_PUBLISHED(TRadioGroup, TGroupBox)
public:
  explicit TRadioGroup(TComponent* AOwner);
  ~TRadioGroup() override;
  TStrings* Items() const { return FItems; }
  int ItemIndex() const { return FItemIndex; }
  void SetItemIndex(int Value);
  int Columns() const { return FColumns; }
  void SetColumns(int Value);
  // The radio button of item Index (made with the items).
  TWinControl* Buttons(int Index) const { return ListItem(FButtons, Index); }
  void Loaded() override;

protected:
  void AlignControls(RECT& Rect) override;
  void FontChanged() override;

private:
  class TGroupButton;
  friend class TGroupButton;
  void UpdateButtons();
  void ArrangeButtons();
  void ButtonClicked(int Index);
  TControlStrings* FItems;
  std::vector<TWinControl*> FButtons;
  int FItemIndex = -1;
  int FColumns = 1;
  bool FUpdating = false;
};

enum TBevelShape { bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine, bsSpacer };
extern const TEnumInfo BevelShapeInfo;
enum TBevelStyle { bsLowered, bsRaised };
extern const TEnumInfo BevelStyleInfo;

// A windowless etched box, frame or line.
class TBevel : public TGraphicControl {
  QNT_PUBLISHED(TBevel, TGraphicControl)
public:
  explicit TBevel(TComponent* AOwner);
  TBevelShape Shape() const { return FShape; }
  void SetShape(TBevelShape Value);
  TBevelStyle Style() const { return FStyle; }
  void SetStyle(TBevelStyle Value);
  void Paint(HDC DC) override;

private:
  TBevelShape FShape = bsBox;
  TBevelStyle FStyle = bsLowered;
};

// A windowless picture. Stretch fills the bounds; Center centres it;
// Transparent leaves out the colour of its bottom left pixel; AutoSize fits
// the bounds to the picture.
class TImage : public TGraphicControl {
  QNT_PUBLISHED(TImage, TGraphicControl)
public:
  explicit TImage(TComponent* AOwner);
  ~TImage() override;
  TPicture* Picture() const { return FPicture; }
  void SetPicture(const TPicture* Value) { FPicture->Assign(Value); }
  bool Stretch() const { return FStretch; }
  void SetStretch(bool Value);
  bool Center() const { return FCenter; }
  void SetCenter(bool Value);
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool Value);
  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool Value);
  void Paint(HDC DC) override;
  void Loaded() override;

private:
  void PictureChanged();
  TPicture* FPicture;
  bool FStretch = false;
  bool FCenter = false;
  bool FTransparent = false;
  bool FAutoSize = false;
};

enum TGaugeKind { gkText, gkHorizontalBar, gkVerticalBar, gkPie, gkNeedle };
extern const TEnumInfo GaugeKindInfo;

// A windowless progress gauge: the part of the way from MinValue to
// MaxValue that Progress has come, as a bar, pie, needle or only the text
// (ShowText: the percentage).
class TGauge : public TGraphicControl {
  QNT_PUBLISHED(TGauge, TGraphicControl)
public:
  explicit TGauge(TComponent* AOwner);
  TGaugeKind Kind() const { return FKind; }
  void SetKind(TGaugeKind Value);
  int MinValue() const { return FMinValue; }
  void SetMinValue(int Value);
  int MaxValue() const { return FMaxValue; }
  void SetMaxValue(int Value);
  int Progress() const { return FProgress; }
  void SetProgress(int Value);
  void AddProgress(int Value) { SetProgress(FProgress + Value); }
  // Whole percent done (0 when the range is empty).
  int PercentDone() const;
  TColor ForeColor() const { return FForeColor; }
  void SetForeColor(TColor Value);
  TColor BackColor() const { return FBackColor; }
  void SetBackColor(TColor Value);
  bool ShowText() const { return FShowText; }
  void SetShowText(bool Value);
  TBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TBorderStyle Value);
  void Paint(HDC DC) override;

private:
  TGaugeKind FKind = gkHorizontalBar;
  int FMinValue = 0, FMaxValue = 100, FProgress = 0;
  TColor FForeColor = clBlack;
  TColor FBackColor = clWhite;
  bool FShowText = true;
  TBorderStyle FBorderStyle = bsSingle;
};

// Fires OnTimer every Interval milliseconds while Enabled (and Interval is
// not 0), from whatever message loop runs; a hidden window of its own
// receives the system's timer messages. Exceptions from OnTimer go to
// Application->HandleException.
class TTimer : public TComponent {
  QNT_PUBLISHED(TTimer, TComponent)
public:
  explicit TTimer(TComponent* AOwner);
  ~TTimer() override;
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value);
  unsigned Interval() const { return FInterval; }
  void SetInterval(unsigned Value);
  TNotifyEvent OnTimer;
  void Loaded() override;

protected:
  virtual void Timer();

private:
  static LRESULT CALLBACK WndProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam);
  void UpdateTimer();
  HWND FWindow = nullptr;
  bool FEnabled = true;
  unsigned FInterval = 1000;
};
