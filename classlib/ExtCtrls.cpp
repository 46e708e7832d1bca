#include "classlib/ExtCtrls.h"

#include <algorithm>
#include <cmath>

#include "classlib/WinText.h"

const TEnumInfo PanelBevelInfo{"TPanelBevel", {"bvNone", "bvLowered", "bvRaised", "bvSpace"}};
const TEnumInfo BevelShapeInfo{"TBevelShape",
                               {"bsBox", "bsFrame", "bsTopLine", "bsBottomLine", "bsLeftLine", "bsRightLine", "bsSpacer"}};
const TEnumInfo BevelStyleInfo{"TBevelStyle", {"bsLowered", "bsRaised"}};
const TEnumInfo GaugeKindInfo{"TGaugeKind", {"gkText", "gkHorizontalBar", "gkVerticalBar", "gkPie", "gkNeedle"}};

QNT_PUBLISH(TPanel,
  Prop::String("Caption", &TPanel::Caption, &TPanel::SetCaption),
  Prop::Enum("BevelInner", &TPanel::BevelInner, &TPanel::SetBevelInner, PanelBevelInfo, bvNone),
  Prop::Enum("BevelOuter", &TPanel::BevelOuter, &TPanel::SetBevelOuter, PanelBevelInfo, bvRaised),
  Prop::Integer("BevelWidth", &TPanel::BevelWidth, &TPanel::SetBevelWidth, 1),
  Prop::Enum("BorderStyle", &TPanel::BorderStyle, &TPanel::SetBorderStyle, BorderStyleInfo, bsNone),
  Prop::Enum("Alignment", &TPanel::Alignment, &TPanel::SetAlignment, AlignmentInfo, taCenter),
  Prop::Event("OnClick", &TPanel::OnClick, &TPanel::OnClick));
QNT_PUBLISH(TRadioGroup,
  Prop::Strings("Items", &TRadioGroup::Items),
  Prop::Integer("ItemIndex", &TRadioGroup::ItemIndex, &TRadioGroup::SetItemIndex, -1),
  Prop::Integer("Columns", &TRadioGroup::Columns, &TRadioGroup::SetColumns, 1),
  Prop::Event("OnClick", &TRadioGroup::OnClick, &TRadioGroup::OnClick));
QNT_PUBLISH(TBevel,
  Prop::Enum("Shape", &TBevel::Shape, &TBevel::SetShape, BevelShapeInfo, bsBox),
  Prop::Enum("Style", &TBevel::Style, &TBevel::SetStyle, BevelStyleInfo, bsLowered));
QNT_PUBLISH(TImage,
  Prop::Boolean("Stretch", &TImage::Stretch, &TImage::SetStretch, false),
  Prop::Boolean("Center", &TImage::Center, &TImage::SetCenter, false),
  Prop::Boolean("Transparent", &TImage::Transparent, &TImage::SetTransparent, false),
  Prop::Boolean("AutoSize", &TImage::AutoSize, &TImage::SetAutoSize, false),
  Prop::Event("OnClick", &TImage::OnClick, &TImage::OnClick));
QNT_PUBLISH(TGauge,
  Prop::Enum("Kind", &TGauge::Kind, &TGauge::SetKind, GaugeKindInfo, gkHorizontalBar),
  Prop::Integer("MinValue", &TGauge::MinValue, &TGauge::SetMinValue, 0),
  Prop::Integer("MaxValue", &TGauge::MaxValue, &TGauge::SetMaxValue, 100),
  Prop::Integer("Progress", &TGauge::Progress, &TGauge::SetProgress, 0),
  Prop::Integer("ForeColor", &TGauge::ForeColor, &TGauge::SetForeColor, clBlack, &ColorIdents),
  Prop::Integer("BackColor", &TGauge::BackColor, &TGauge::SetBackColor, clWhite, &ColorIdents),
  Prop::Boolean("ShowText", &TGauge::ShowText, &TGauge::SetShowText, true),
  Prop::Enum("BorderStyle", &TGauge::BorderStyle, &TGauge::SetBorderStyle, BorderStyleInfo, bsSingle));
QNT_PUBLISH(TTimer,
  Prop::Boolean("Enabled", &TTimer::Enabled, &TTimer::SetEnabled, true),
  Prop::Integer("Interval", &TTimer::Interval, &TTimer::SetInterval, 1000),
  Prop::Event("OnTimer", &TTimer::OnTimer, &TTimer::OnTimer));

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

void TPanel::SetCtl3D(bool Value) {
  FCtl3D = Value;
  Realign();
  Invalidate();
}

void TPanel::AdjustClientRect(RECT& Rect) const {
  TCustomControl::AdjustClientRect(Rect);
  int bevel = (FBevelOuter != bvNone ? FBevelWidth : 0) + (FBevelInner != bvNone ? FBevelWidth : 0);
  if (FBorderStyle == bsSingle) bevel += FCtl3D ? 2 : 1;
  InflateRect(&Rect, -bevel, -bevel);
}

void TPanel::PaintWindow(HDC DC) {
  RECT r;
  GetClientRect(FHandle, &r);
  PaintTo(DC, r);
}

void TPanel::PaintTo(HDC DC, const RECT& Bounds) {
  RECT r = Bounds;
  FillRect(DC, &r, BackgroundBrush());
  if (FBorderStyle == bsSingle && FCtl3D) {
    DrawEdge(DC, &r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
  } else if (FBorderStyle == bsSingle) {
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

// ---------------------------------------------------------------- TRadioGroup

// One item's system radio button; its clicks (and the arrow keys, which the
// dialog keyboard turns into clicks) check its item.
class TRadioGroup::TGroupButton : public TWinControl {
public:
  TGroupButton(TRadioGroup* AGroup, int AIndex) : TWinControl(nullptr), FGroup(AGroup), FIndex(AIndex) {}
  bool CNCommand(WORD NotifyCode) override {
    if (NotifyCode != BN_CLICKED) return false;
    FGroup->ButtonClicked(FIndex);
    return true;
  }

protected:
  void CreateParams(TCreateParams& Params) override {
    TWinControl::CreateParams(Params);
    Params.ExStyle &= ~static_cast<DWORD>(WS_EX_CONTROLPARENT);
    Params.Style &= ~static_cast<DWORD>(WS_CLIPCHILDREN);
    Params.WinClassName = L"BUTTON";
    Params.Style |= BS_RADIOBUTTON;
    if (FIndex == 0) Params.Style |= WS_GROUP;
  }
  void CreateWndDone() override { SendMessageW(FHandle, BM_SETCHECK, FGroup->FItemIndex == FIndex, 0); }

private:
  TRadioGroup* FGroup;
  int FIndex;
};

TRadioGroup::TRadioGroup(TComponent* AOwner)
    : TGroupBox(AOwner), FItems(new TControlStrings([this] { UpdateButtons(); })) {
  FWidth = 185;
  FHeight = 105;
  FTabStop = true;
}

TRadioGroup::~TRadioGroup() {
  std::vector<TWinControl*> buttons;
  buttons.swap(FButtons);
  for (TWinControl* b : buttons) delete b;
  delete FItems;
  FItems = nullptr;
}

void TRadioGroup::UpdateButtons() {
  if (!FItems || FUpdating) return;
  FUpdating = true;
  while (static_cast<int>(FButtons.size()) > FItems->Count()) {
    TWinControl* b = FButtons.back();
    FButtons.pop_back();
    delete b;
  }
  while (static_cast<int>(FButtons.size()) < FItems->Count()) {
    auto* b = new TGroupButton(this, static_cast<int>(FButtons.size()));
    FButtons.push_back(b);
    b->SetParent(this);
  }
  for (size_t i = 0; i < FButtons.size(); ++i) {
    FButtons[i]->SetText(FItems->Get(static_cast<int>(i)));
    FButtons[i]->SetEnabled(FEnabled);
  }
  if (FItemIndex >= FItems->Count() && !Loading()) FItemIndex = -1;
  for (size_t i = 0; i < FButtons.size(); ++i) {
    auto* b = FButtons[i];
    bool on = static_cast<int>(i) == FItemIndex;
    b->SetTabStop(on || (FItemIndex < 0 && i == 0));
    if (b->HandleAllocated()) SendMessageW(b->Handle(), BM_SETCHECK, on, 0);
  }
  FUpdating = false;
  ArrangeButtons();
}

void TRadioGroup::ArrangeButtons() {
  if (FButtons.empty() || Loading()) return;
  int perColumn = (static_cast<int>(FButtons.size()) + FColumns - 1) / FColumns;
  RECT r{0, 0, ClientWidth(), ClientHeight()};
  AdjustClientRect(r);
  int columnWidth = std::max(0L, (r.right - r.left - 4) / FColumns);
  int rowHeight = std::max(0L, (r.bottom - r.top) / perColumn);
  int top = r.top + ((r.bottom - r.top) - rowHeight * perColumn) / 2;
  for (size_t i = 0; i < FButtons.size(); ++i) {
    int column = static_cast<int>(i) / perColumn, row = static_cast<int>(i) % perColumn;
    FButtons[i]->SetBounds(r.left + 6 + column * columnWidth, top + row * rowHeight, columnWidth - 6, rowHeight);
  }
}

void TRadioGroup::AlignControls(RECT& Rect) {
  TGroupBox::AlignControls(Rect);
  if (!FUpdating) ArrangeButtons();
}

void TRadioGroup::FontChanged() {
  TGroupBox::FontChanged();
  ArrangeButtons();
}

void TRadioGroup::Loaded() {
  TGroupBox::Loaded();
  if (FItemIndex >= FItems->Count()) FItemIndex = -1;
  UpdateButtons();
}

void TRadioGroup::SetColumns(int Value) {
  Value = std::clamp(Value, 1, 16);
  if (Value == FColumns) return;
  FColumns = Value;
  ArrangeButtons();
}

void TRadioGroup::SetItemIndex(int Value) {
  if (Loading()) {
    // Stated before the items: it holds once they are read.
    FItemIndex = Value;
    return;
  }
  if (Value < -1 || Value >= FItems->Count()) Value = -1;
  if (Value == FItemIndex) return;
  FItemIndex = Value;
  UpdateButtons();
  // The system tells nothing when the check is set in code; the class
  // library does.
  Click();
}

void TRadioGroup::ButtonClicked(int Index) {
  if (Index == FItemIndex) return;
  SetItemIndex(Index);
}

// ---------------------------------------------------------------- TBevel

TBevel::TBevel(TComponent* AOwner) : TGraphicControl(AOwner) {
  FWidth = 50;
  FHeight = 50;
}

void TBevel::SetShape(TBevelShape Value) {
  FShape = Value;
  Invalidate();
}

void TBevel::SetStyle(TBevelStyle Value) {
  FStyle = Value;
  Invalidate();
}

void TBevel::Paint(HDC DC) {
  RECT r{0, 0, FWidth, FHeight};
  // Lowered: the dark line first (top, left), the light one beside it.
  UINT edge = FStyle == bsLowered ? EDGE_ETCHED : EDGE_BUMP;
  switch (FShape) {
    case bsBox: DrawEdge(DC, &r, FStyle == bsLowered ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT); break;
    case bsFrame: DrawEdge(DC, &r, edge, BF_RECT); break;
    case bsTopLine: r.bottom = std::min(FHeight, 2); DrawEdge(DC, &r, edge, BF_TOP); break;
    case bsBottomLine: r.top = std::max(0, FHeight - 2); DrawEdge(DC, &r, edge, BF_BOTTOM); break;
    case bsLeftLine: r.right = std::min(FWidth, 2); DrawEdge(DC, &r, edge, BF_LEFT); break;
    case bsRightLine: r.left = std::max(0, FWidth - 2); DrawEdge(DC, &r, edge, BF_RIGHT); break;
    case bsSpacer: break;
  }
}

// ---------------------------------------------------------------- TImage

TImage::TImage(TComponent* AOwner) : TGraphicControl(AOwner), FPicture(new TPicture) {
  FWidth = 105;
  FHeight = 105;
  FPicture->OnChange = [this](TObject*) { PictureChanged(); };
}

TImage::~TImage() { delete FPicture; }

void TImage::PictureChanged() {
  if (FAutoSize && !Loading() && !FPicture->Empty())
    SetBounds(FLeft, FTop, FPicture->Width(), FPicture->Height());
  Invalidate();
}

void TImage::SetStretch(bool Value) {
  FStretch = Value;
  Invalidate();
}

void TImage::SetCenter(bool Value) {
  FCenter = Value;
  Invalidate();
}

void TImage::SetTransparent(bool Value) {
  FTransparent = Value;
  Invalidate();
}

void TImage::SetAutoSize(bool Value) {
  FAutoSize = Value;
  PictureChanged();
}

void TImage::Loaded() {
  TGraphicControl::Loaded();
  PictureChanged();
}

void TImage::Paint(HDC DC) {
  TBitmap* b = FPicture->Bitmap();
  if (b->Empty()) return;
  int w = b->Width(), h = b->Height(), x = 0, y = 0;
  if (FStretch) {
    w = FWidth;
    h = FHeight;
  } else if (FCenter) {
    x = (FWidth - w) / 2;
    y = (FHeight - h) / 2;
  }
  if (FTransparent)
    b->DrawTransparent(DC, x, y, w, h, b->TransparentColor());
  else
    b->StretchDraw(DC, x, y, w, h);
}

// ---------------------------------------------------------------- TGauge

TGauge::TGauge(TComponent* AOwner) : TGraphicControl(AOwner) {
  FWidth = 100;
  FHeight = 100;
}

void TGauge::SetKind(TGaugeKind Value) {
  FKind = Value;
  Invalidate();
}

void TGauge::SetMinValue(int Value) {
  if (Value == FMinValue) return;
  FMinValue = Value;
  if (FProgress < Value) FProgress = Value;
  Invalidate();
}

void TGauge::SetMaxValue(int Value) {
  if (Value == FMaxValue) return;
  FMaxValue = Value;
  if (FProgress > Value) FProgress = Value;
  Invalidate();
}

void TGauge::SetProgress(int Value) {
  // While the form is read the range may come later; clamp only in use.
  if (!Loading()) Value = std::clamp(Value, std::min(FMinValue, FMaxValue), std::max(FMinValue, FMaxValue));
  if (Value == FProgress) return;
  FProgress = Value;
  Invalidate();
}

int TGauge::PercentDone() const {
  long long range = static_cast<long long>(FMaxValue) - FMinValue;
  if (range <= 0) return 0;
  return static_cast<int>((static_cast<long long>(FProgress) - FMinValue) * 100 / range);
}

void TGauge::SetForeColor(TColor Value) {
  FForeColor = Value;
  Invalidate();
}

void TGauge::SetBackColor(TColor Value) {
  FBackColor = Value;
  Invalidate();
}

void TGauge::SetShowText(bool Value) {
  FShowText = Value;
  Invalidate();
}

void TGauge::SetBorderStyle(TBorderStyle Value) {
  FBorderStyle = Value;
  Invalidate();
}

void TGauge::Paint(HDC DC) {
  RECT r{0, 0, FWidth, FHeight};
  HBRUSH back = CreateSolidBrush(ColorToRGB(FBackColor));
  HBRUSH fore = CreateSolidBrush(ColorToRGB(FForeColor));
  if (FBorderStyle == bsSingle) {
    FrameRect(DC, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    InflateRect(&r, -1, -1);
  }
  FillRect(DC, &r, back);
  int percent = std::clamp(PercentDone(), 0, 100);
  int w = r.right - r.left, h = r.bottom - r.top;
  switch (FKind) {
    case gkHorizontalBar: {
      RECT f{r.left, r.top, r.left + w * percent / 100, r.bottom};
      FillRect(DC, &f, fore);
      break;
    }
    case gkVerticalBar: {
      RECT f{r.left, r.bottom - h * percent / 100, r.right, r.bottom};
      FillRect(DC, &f, fore);
      break;
    }
    case gkPie:
    case gkNeedle: {
      // From twelve o'clock clockwise (pie) or a hand over a half circle.
      double cx = r.left + w / 2.0, cy = r.top + h / 2.0;
      HGDIOBJ oldBrush = SelectObject(DC, fore);
      HGDIOBJ oldPen = SelectObject(DC, GetStockObject(BLACK_PEN));
      if (FKind == gkPie) {
        if (percent >= 100) {
          Ellipse(DC, r.left, r.top, r.right, r.bottom);
        } else if (percent > 0) {
          double a = 3.14159265358979 / 2 - 2 * 3.14159265358979 * percent / 100;
          Pie(DC, r.left, r.top, r.right, r.bottom, static_cast<int>(cx + w * std::cos(a)),
              static_cast<int>(cy - h * std::sin(a)), static_cast<int>(cx), r.top);
        }
      } else {
        double a = 3.14159265358979 * (1 - percent / 100.0);
        MoveToEx(DC, static_cast<int>(cx), r.bottom - 1, nullptr);
        LineTo(DC, static_cast<int>(cx + (w / 2.0) * std::cos(a)), static_cast<int>(r.bottom - 1 - h * std::sin(a)));
      }
      SelectObject(DC, oldPen);
      SelectObject(DC, oldBrush);
      break;
    }
    case gkText: break;
  }
  if (FShowText) {
    std::wstring t = std::to_wstring(percent) + L"%";
    SetBkMode(DC, TRANSPARENT);
    SetTextColor(DC, ColorToRGB(FFont->Color()));
    HGDIOBJ old = SelectObject(DC, FontHandle());
    DrawTextW(DC, t.c_str(), static_cast<int>(t.size()), &r, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
    SelectObject(DC, old);
  }
  DeleteObject(back);
  DeleteObject(fore);
}

// ---------------------------------------------------------------- TTimer

namespace {
const wchar_t kTimerClass[] = L"QntTimerWindow";
}

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner) { UpdateTimer(); }

TTimer::~TTimer() {
  if (FWindow) {
    KillTimer(FWindow, 1);
    DestroyWindow(FWindow);
  }
}

LRESULT CALLBACK TTimer::WndProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (Msg == WM_TIMER) {
    auto* t = reinterpret_cast<TTimer*>(GetWindowLongPtrW(Wnd, GWLP_USERDATA));
    if (t) {
      try {
        t->Timer();
      } catch (...) {
        try {
          if (Application) Application->HandleException(t);
        } catch (...) {
        }
      }
    }
    return 0;
  }
  return DefWindowProcW(Wnd, Msg, WParam, LParam);
}

void TTimer::UpdateTimer() {
  if (FWindow) KillTimer(FWindow, 1);
  if (!FEnabled || FInterval == 0 || HasState(csLoading) || HasState(csDestroying)) return;
  if (!FWindow) {
    static bool registered = false;
    if (!registered) {
      WNDCLASSEXW wc{};
      wc.cbSize = sizeof wc;
      wc.lpfnWndProc = &TTimer::WndProc;
      wc.hInstance = ModuleOfControls();
      wc.lpszClassName = kTimerClass;
      if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        throw EOSError("Cannot register the window class: " + SysErrorMessage(GetLastError()));
      registered = true;
    }
    FWindow = CreateWindowExW(0, kTimerClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, ModuleOfControls(),
                              nullptr);
    if (!FWindow) throw EOSError("Cannot make the timer's window: " + SysErrorMessage(GetLastError()));
    SetWindowLongPtrW(FWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  if (!SetTimer(FWindow, 1, FInterval, nullptr)) throw EOSError("Not enough timers available");
}

void TTimer::SetEnabled(bool Value) {
  if (Value == FEnabled) return;
  FEnabled = Value;
  UpdateTimer();
}

void TTimer::SetInterval(unsigned Value) {
  if (Value == FInterval) return;
  FInterval = Value;
  UpdateTimer();
}

void TTimer::Loaded() {
  TComponent::Loaded();
  UpdateTimer();
}

void TTimer::Timer() {
  if (OnTimer) OnTimer(this);
}
