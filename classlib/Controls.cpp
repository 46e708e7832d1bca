#include "classlib/Controls.h"

#include <algorithm>

#include "classlib/Forms.h"
#include "classlib/WinText.h"

HCURSOR CursorHandle(TCursor Cursor) {
  LPCWSTR id = IDC_ARROW;
  switch (Cursor) {
    case -1: return nullptr;  // crNone
    case -3: id = IDC_CROSS; break;  // crCross
    case -4: id = IDC_IBEAM; break;  // crIBeam
    case -6: id = IDC_SIZENESW; break;  // crSizeNESW
    case -7: id = IDC_SIZENS; break;  // crSizeNS
    case -8: id = IDC_SIZENWSE; break;  // crSizeNWSE
    case -9: id = IDC_SIZEWE; break;  // crSizeWE
    case -10: id = IDC_UPARROW; break;  // crUpArrow
    case crHourGlass: id = IDC_WAIT; break;
    case -18: id = IDC_NO; break;  // crNo
    case -19: id = IDC_APPSTARTING; break;  // crAppStart
    case -20: id = IDC_HELP; break;  // crHelp
    case -21: id = IDC_HAND; break;  // crHandPoint
    case -5:   // the older crSize
    case -22:  // crSizeAll
      id = IDC_SIZEALL;
      break;
    default: break;
  }
  return LoadCursorW(nullptr, id);
}

const TEnumInfo AlignInfo{"TAlign", {"alNone", "alTop", "alBottom", "alLeft", "alRight", "alClient"}};
const TEnumInfo AlignmentInfo{"TAlignment", {"taLeftJustify", "taRightJustify", "taCenter"}};
const TIdentMap ModalResultIdents{{{"mrNone", mrNone},
                                   {"mrOk", mrOk},
                                   {"mrCancel", mrCancel},
                                   {"mrAbort", mrAbort},
                                   {"mrRetry", mrRetry},
                                   {"mrIgnore", mrIgnore},
                                   {"mrYes", mrYes},
                                   {"mrNo", mrNo},
                                   {"mrAll", mrAll},
                                   {"mrNoToAll", mrNoToAll},
                                   {"mrYesToAll", mrYesToAll}}};

QNT_PUBLISH(TControl,
  Prop::Integer("Left", &TControl::Left, &TControl::SetLeft, 0),
  Prop::Integer("Top", &TControl::Top, &TControl::SetTop, 0),
  Prop::Integer("Width", &TControl::Width, &TControl::SetWidth),
  Prop::Integer("Height", &TControl::Height, &TControl::SetHeight),
  Prop::Enum("Align", &TControl::Align, &TControl::SetAlign, AlignInfo, alNone),
  Prop::Boolean("Visible", &TControl::Visible, &TControl::SetVisible, true),
  Prop::Boolean("Enabled", &TControl::Enabled, &TControl::SetEnabled, true),
  Prop::Object("Font", &TControl::Font),
  Prop::Boolean("ParentFont", &TControl::ParentFont, &TControl::SetParentFont, true),
  Prop::Integer("Color", &TControl::Color, &TControl::SetColor, clBtnFace, &ColorIdents));
QNT_PUBLISH(TGraphicControl);
QNT_PUBLISH(TWinControl,
  Prop::Integer("TabOrder", &TWinControl::TabOrder, &TWinControl::SetTabOrder),
  Prop::Boolean("TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop),
  Prop::Integer("BorderWidth", &TWinControl::BorderWidth, &TWinControl::SetBorderWidth, 0),
  Prop::Event("OnResize", &TWinControl::OnResize, &TWinControl::OnResize));
QNT_PUBLISH(TCustomControl);

namespace {
const wchar_t kWindowClass[] = L"QntWinControl";
const wchar_t kObjectProp[] = L"QntControl";
thread_local TWinControl* tCreating = nullptr;
int nextControlId = 100;  // clear of IDOK/IDCANCEL, which the dialog keys send

void RegisterWindowClass(WNDPROC Proc) {
  static bool done = false;
  if (done) return;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = Proc;
  wc.hInstance = ModuleOfControls();
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = kWindowClass;
  if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
    throw EOSError("Cannot register the window class: " + SysErrorMessage(GetLastError()));
  done = true;
}

// Hands an exception that reached a window procedure to the application; never
// lets anything escape towards user32.
void HandleWndProcException(TObject* Sender) noexcept {
  try {
    if (Application)
      Application->HandleException(Sender);
  } catch (...) {
  }
}
}  // namespace

HINSTANCE ModuleOfControls() {
  static HMODULE module = [] {
    HMODULE m = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ModuleOfControls), &m);
    return m;
  }();
  return module;
}

COLORREF ColorToRGB(TColor Color) {
  if (Color < 0) return GetSysColor(static_cast<int>(static_cast<uint32_t>(Color) & 0xFF));
  return static_cast<COLORREF>(Color);
}

HFONT CreateFontHandle(const TFont& Font) {
  LOGFONTW lf{};
  lf.lfHeight = Font.Height();
  TFontStyles st = Font.Style();
  lf.lfWeight = (st & (1u << fsBold)) ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = (st & (1u << fsItalic)) ? 1 : 0;
  lf.lfUnderline = (st & (1u << fsUnderline)) ? 1 : 0;
  lf.lfStrikeOut = (st & (1u << fsStrikeOut)) ? 1 : 0;
  lf.lfCharSet = Font.Charset();
  lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
  lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  lf.lfQuality = DEFAULT_QUALITY;
  lf.lfPitchAndFamily = Font.Pitch() == fpFixed      ? FIXED_PITCH
                        : Font.Pitch() == fpVariable ? VARIABLE_PITCH
                                                     : DEFAULT_PITCH;
  std::wstring face = Widen(Font.Name());
  face.resize(std::min<size_t>(face.size(), LF_FACESIZE - 1));
  std::copy(face.begin(), face.end(), lf.lfFaceName);
  HFONT f = CreateFontIndirectW(&lf);
  if (!f) f = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  return f;
}

// ---------------------------------------------------------------- TControl

TControl::TControl(TComponent* AOwner) : TComponent(AOwner), FFont(new TFont) {
  FFont->OnChange = [this](TObject*) { FontChanged(); };
}

TControl::~TControl() {
  SetParent(nullptr);
  if (FFontHandle) DeleteObject(FFontHandle);
  delete FFont;
}

void TControl::SetParent(TWinControl* AParent) {
  if (AParent == FParent) return;
  if (AParent == this) throw EInvalidOperation("A control cannot be its own parent");
  if (FParent) FParent->RemoveControl(this);
  if (AParent) AParent->InsertControl(this);
}

void TControl::SetParentComponent(TComponent* Value) {
  if (auto* w = dynamic_cast<TWinControl*>(Value)) SetParent(w);
}

void TControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  if (ALeft == FLeft && ATop == FTop && AWidth == FWidth && AHeight == FHeight) return;
  if (FParent && dynamic_cast<TGraphicControl*>(this)) FParent->Invalidate();
  FLeft = ALeft;
  FTop = ATop;
  FWidth = AWidth;
  FHeight = AHeight;
  if (FParent && dynamic_cast<TGraphicControl*>(this)) FParent->Invalidate();
  RequestAlign();
}

void TControl::UpdateBoundsFromWindow(int ALeft, int ATop, int AWidth, int AHeight) {
  FLeft = ALeft;
  FTop = ATop;
  FWidth = AWidth;
  FHeight = AHeight;
}

void TControl::RequestAlign() {
  if (FParent && FAlign != alNone && FVisible) FParent->Realign();
}

void TControl::SetAlign(TAlign Value) {
  if (Value == FAlign) return;
  FAlign = Value;
  if (FParent) FParent->Realign();
}

void TControl::SetVisible(bool Value) {
  if (Value == FVisible) return;
  FVisible = Value;
  if (FParent) {
    FParent->Invalidate();
    if (FAlign != alNone) FParent->Realign();
  }
}

bool TControl::Showing() const {
  const TControl* c = this;
  while (c) {
    if (!c->FVisible) return false;
    if (!c->FParent) {
      auto* w = dynamic_cast<const TWinControl*>(c);
      return w && w->HandleAllocated() && IsWindowVisible(const_cast<TWinControl*>(w)->Handle());
    }
    c = c->FParent;
  }
  return false;
}

void TControl::SetEnabled(bool Value) {
  if (Value == FEnabled) return;
  FEnabled = Value;
  Invalidate();
}

void TControl::SetText(const std::string& Value) {
  if (Value == FText) return;
  FText = Value;
  Invalidate();
  TextChanged();
}

void TControl::SetParentFont(bool Value) {
  FParentFont = Value;
  if (Value && FParent) {
    FFontFromParent = true;
    try {
      FFont->Assign(FParent->Font());
    } catch (...) {
      FFontFromParent = false;
      throw;
    }
    FFontFromParent = false;
  }
}

void TControl::FontChanged() {
  if (!FFontFromParent) FParentFont = false;
  if (FFontHandle) {
    HFONT old = FFontHandle;
    FFontHandle = nullptr;
    if (auto* w = dynamic_cast<TWinControl*>(this); w && w->HandleAllocated())
      SendMessageW(w->Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(FontHandle()), TRUE);
    DeleteObject(old);
  }
  Invalidate();
}

HFONT TControl::FontHandle() {
  if (!FFontHandle) FFontHandle = CreateFontHandle(*FFont);
  return FFontHandle;
}

void TControl::SetColor(TColor Value) {
  if (Value == FColor) return;
  FColor = Value;
  Invalidate();
}

void TControl::Click() {
  if (OnClick) OnClick(this);
}

void TControl::Invalidate() {}

void TControl::Repaint() {
  Invalidate();
  TWinControl* w = dynamic_cast<TWinControl*>(this);
  if (!w) w = FParent;
  if (w && w->HandleAllocated()) UpdateWindow(w->Handle());
}

void TControl::BringToFront() {
  if (!FParent) return;
  auto& v = FParent->FControls;
  v.erase(std::remove(v.begin(), v.end(), this), v.end());
  v.push_back(this);
  FParent->Invalidate();
}

// ---------------------------------------------------------------- TGraphicControl

void TGraphicControl::Paint(HDC) {}

void TGraphicControl::Invalidate() {
  if (FParent && FParent->HandleAllocated()) {
    RECT r = BoundsRect();
    InvalidateRect(FParent->Handle(), &r, TRUE);
  }
}

// ---------------------------------------------------------------- TWinControl

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner) {}

TWinControl::~TWinControl() {
  // Child controls go with their parent (their owner forgets them).
  while (!FControls.empty()) {
    TControl* c = FControls.back();
    c->BeforeDestruction();
    if (!FControls.empty() && FControls.back() == c) delete c;
  }
  DestroyHandle();
  // Out of the parent's lists while this is still a windowed control: by the
  // time ~TControl runs, nothing tells the parent that this one was in its
  // tab order, and the parent would walk a freed control there later (when
  // its window is destroyed or made again).
  SetParent(nullptr);
  if (FBrush) DeleteObject(FBrush);
}

TWinControl* TWinControl::FindControl(HWND Wnd) {
  if (!Wnd) return nullptr;
  return static_cast<TWinControl*>(GetPropW(Wnd, kObjectProp));
}

bool TWinControl::ContainsControl(const TControl* Control) const {
  for (const TControl* c = Control; c; c = c->FParent)
    if (c == this) return true;
  return false;
}

void TWinControl::InsertControl(TControl* AControl) {
  AControl->FParent = this;
  FControls.push_back(AControl);
  if (auto* w = dynamic_cast<TWinControl*>(AControl)) {
    FTabList.push_back(w);
    if (w->FPendingTabOrder >= 0) {
      int order = w->FPendingTabOrder;
      w->FPendingTabOrder = -1;
      w->SetTabOrder(order);
    }
    if (HandleAllocated() && !w->HandleAllocated() && !FCreating) w->HandleNeeded();
    else if (w->HandleAllocated()) {
      ::SetParent(w->FHandle, Handle());
    }
  }
  if (AControl->FParentFont) AControl->SetParentFont(true);
  if (AControl->FAlign != alNone) Realign();
  Invalidate();
}

void TWinControl::RemoveControl(TControl* AControl) {
  FControls.erase(std::remove(FControls.begin(), FControls.end(), AControl), FControls.end());
  if (auto* w = dynamic_cast<TWinControl*>(AControl)) {
    FTabList.erase(std::remove(FTabList.begin(), FTabList.end(), w), FTabList.end());
    if (w->HandleAllocated()) w->DestroyHandle();
  }
  if (FMouseControl == AControl) FMouseControl = nullptr;
  AControl->FParent = nullptr;
  if (!HasState(csDestroying)) {
    if (AControl->FAlign != alNone) Realign();
    Invalidate();
  }
}

int TWinControl::TabOrder() const {
  if (!FParent) return FPendingTabOrder;
  auto& t = FParent->FTabList;
  auto it = std::find(t.begin(), t.end(), this);
  return it == t.end() ? -1 : static_cast<int>(it - t.begin());
}

void TWinControl::SetTabOrder(int Value) {
  if (!FParent) {
    FPendingTabOrder = Value;
    return;
  }
  auto& t = FParent->FTabList;
  t.erase(std::remove(t.begin(), t.end(), this), t.end());
  size_t pos = Value < 0 ? t.size() : std::min(static_cast<size_t>(Value), t.size());
  t.insert(t.begin() + static_cast<std::ptrdiff_t>(pos), this);
  FParent->UpdateZOrder();
}

void TWinControl::UpdateZOrder() {
  if (!HandleAllocated()) return;
  HWND after = HWND_TOP;
  for (TWinControl* w : FTabList) {
    if (!w->HandleAllocated()) continue;
    SetWindowPos(w->FHandle, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    after = w->FHandle;
  }
}

void TWinControl::SetTabStop(bool Value) {
  FTabStop = Value;
  if (HandleAllocated()) {
    LONG_PTR s = GetWindowLongPtrW(FHandle, GWL_STYLE);
    s = Value ? (s | WS_TABSTOP) : (s & ~static_cast<LONG_PTR>(WS_TABSTOP));
    SetWindowLongPtrW(FHandle, GWL_STYLE, s);
  }
}

void TWinControl::SetBorderWidth(int Value) {
  if (Value == FBorderWidth) return;
  FBorderWidth = Value;
  Realign();
  Invalidate();
}

void TWinControl::SetParentWindow(HWND Value) {
  if (Value == FParentWindow) return;
  if (HandleAllocated()) DestroyHandle();
  FParentWindow = Value;
}

int TWinControl::ClientWidth() const {
  if (FHandle) {
    RECT r;
    GetClientRect(FHandle, &r);
    return r.right - r.left;
  }
  return FWidth;
}

int TWinControl::ClientHeight() const {
  if (FHandle) {
    RECT r;
    GetClientRect(FHandle, &r);
    return r.bottom - r.top;
  }
  return FHeight;
}

void TWinControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  bool sized = AWidth != FWidth || AHeight != FHeight;
  bool changed = sized || ALeft != FLeft || ATop != FTop;
  if (!changed) return;
  FLeft = ALeft;
  FTop = ATop;
  FWidth = AWidth;
  FHeight = AHeight;
  if (FHandle)
    SetWindowPos(FHandle, nullptr, FLeft, FTop, FWidth, FHeight, SWP_NOZORDER | SWP_NOACTIVATE);
  RequestAlign();
  if (sized) {
    Realign();
    if (!FHandle && !Loading()) Resize();
  }
}

void TWinControl::SetVisible(bool Value) {
  if (Value == FVisible) return;
  TControl::SetVisible(Value);
  if (FHandle) ShowWindow(FHandle, Value ? SW_SHOWNA : SW_HIDE);
}

void TWinControl::SetEnabled(bool Value) {
  if (Value == FEnabled) return;
  FEnabled = Value;
  if (FHandle) EnableWindow(FHandle, Value);
}

std::string TWinControl::GetText() const {
  if (!FHandle) return FText;
  int n = GetWindowTextLengthW(FHandle);
  std::wstring w(static_cast<size_t>(n) + 1, L'\0');
  n = GetWindowTextW(FHandle, w.data(), n + 1);
  w.resize(static_cast<size_t>(std::max(n, 0)));
  return Narrow(w);
}

void TWinControl::SetText(const std::string& Value) {
  if (FHandle) {
    if (Value == GetText()) return;
    FText = Value;
    SetWindowTextW(FHandle, Widen(Value).c_str());
    Invalidate();
    TextChanged();
    return;
  }
  TControl::SetText(Value);
}

void TWinControl::Invalidate() {
  if (FHandle) InvalidateRect(FHandle, nullptr, TRUE);
}

void TWinControl::BringToFront() {
  TControl::BringToFront();
  if (FHandle) SetWindowPos(FHandle, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

bool TWinControl::CanFocus() const {
  for (const TControl* c = this; c; c = c->FParent)
    if (!c->FVisible || !c->FEnabled) return false;
  return true;
}

bool TWinControl::Focused() const { return FHandle && GetFocus() == FHandle; }

void TWinControl::SetFocus() {
  if (!CanFocus()) throw EInvalidOperation("Cannot focus a disabled or invisible window");
  ::SetFocus(Handle());
}

void TWinControl::FontChanged() {
  TControl::FontChanged();
  for (TControl* c : FControls) {
    if (!c->FParentFont) continue;
    c->FFontFromParent = true;
    try {
      c->FFont->Assign(FFont);
    } catch (...) {
      c->FFontFromParent = false;
      throw;
    }
    c->FFontFromParent = false;
  }
}

void TWinControl::Loaded() {
  TControl::Loaded();
  Realign();
}

// ------------------------------------------------------------ windows

void TWinControl::CreateParams(TCreateParams& Params) {
  Params.Style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
  Params.ExStyle = WS_EX_CONTROLPARENT;
  if (FVisible) Params.Style |= WS_VISIBLE;
  if (!FEnabled) Params.Style |= WS_DISABLED;
  if (FTabStop) Params.Style |= WS_TABSTOP;
  Params.X = FLeft;
  Params.Y = FTop;
  Params.Width = FWidth;
  Params.Height = FHeight;
  Params.Caption = Widen(FText);
  if (FParent)
    Params.WndParent = FParent->Handle();
  else
    Params.WndParent = FParentWindow;
}

HWND TWinControl::Handle() {
  if (!FHandle) {
    if (FParent) FParent->HandleNeeded();  // may already have made ours
    if (!FHandle) CreateWnd();
  }
  return FHandle;
}

void TWinControl::CreateWnd() {
  RegisterWindowClass(&TWinControl::StaticWndProc);
  TCreateParams p;
  CreateParams(p);
  if ((p.Style & WS_CHILD) && !p.WndParent)
    throw EInvalidOperation("Control '" + Name() + "' has no parent window");
  bool ownClass = p.WinClassName.empty();
  HMENU id = nullptr;
  if (p.Style & WS_CHILD) id = reinterpret_cast<HMENU>(static_cast<INT_PTR>(nextControlId++));
  FCreating = true;
  if (ownClass) tCreating = this;
  HWND h = CreateWindowExW(p.ExStyle, ownClass ? kWindowClass : p.WinClassName.c_str(), p.Caption.c_str(),
                           p.Style, p.X, p.Y, p.Width, p.Height, p.WndParent, id, ModuleOfControls(),
                           nullptr);
  tCreating = nullptr;
  if (!h) {
    FCreating = false;
    throw EOSError("Error creating window: " + SysErrorMessage(GetLastError()));
  }
  if (!ownClass) {
    FHandle = h;
    SetPropW(h, kObjectProp, this);
    FDefProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TWinControl::StaticWndProc)));
  }
  SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(FontHandle()), FALSE);
  try {
    for (TWinControl* w : std::vector<TWinControl*>(FTabList))
      if (!w->HandleAllocated()) w->CreateWnd();
    UpdateZOrder();
    FCreating = false;
    // The window may be smaller than asked (a frame); lay out in what it is.
    Realign();
    CreateWndDone();
  } catch (...) {
    FCreating = false;
    throw;
  }
}

void TWinControl::DestroyHandle() {
  if (!FHandle) return;
  for (TWinControl* w : FTabList) w->DestroyHandle();
  DestroyWndStarting();
  HWND h = FHandle;
  DestroyWindow(h);
  if (FHandle == h) {  // a window of another thread or already gone
    RemovePropW(h, kObjectProp);
    FHandle = nullptr;
    FDefProc = nullptr;
  }
}

LRESULT CALLBACK TWinControl::StaticWndProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  TWinControl* c = FindControl(Wnd);
  if (!c) {
    c = tCreating;
    if (!c) return DefWindowProcW(Wnd, Msg, WParam, LParam);
    tCreating = nullptr;
    c->FHandle = Wnd;
    SetPropW(Wnd, kObjectProp, c);
  }
  if (Msg == WM_NCDESTROY) {
    LRESULT r = c->DefaultHandler(Msg, WParam, LParam);
    RemovePropW(Wnd, kObjectProp);
    if (c->FDefProc) SetWindowLongPtrW(Wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(c->FDefProc));
    c->FHandle = nullptr;
    c->FDefProc = nullptr;
    return r;
  }
  try {
    return c->WndProc(Msg, WParam, LParam);
  } catch (...) {
    HandleWndProcException(c);
    return 0;
  }
}

LRESULT TWinControl::DefaultHandler(UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (FDefProc) return CallWindowProcW(FDefProc, FHandle, Msg, WParam, LParam);
  return DefWindowProcW(FHandle, Msg, WParam, LParam);
}

HBRUSH TWinControl::BackgroundBrush() {
  if (FColor < 0) return GetSysColorBrush(static_cast<int>(static_cast<uint32_t>(FColor) & 0xFF));
  if (!FBrush || FBrushColor != FColor) {
    if (FBrush) DeleteObject(FBrush);
    FBrush = CreateSolidBrush(static_cast<COLORREF>(FColor));
    FBrushColor = FColor;
  }
  return FBrush;
}

void TWinControl::PaintWindow(HDC DC) {
  RECT r;
  GetClientRect(FHandle, &r);
  FillRect(DC, &r, BackgroundBrush());
}

void TWinControl::PaintControls(HDC DC) {
  for (TControl* c : FControls) {
    auto* g = dynamic_cast<TGraphicControl*>(c);
    if (!g || !g->FVisible) continue;
    RECT r = g->BoundsRect();
    RECT clip;
    if (GetClipBox(DC, &clip) != ERROR && !IntersectRect(&clip, &clip, &r)) continue;
    int saved = SaveDC(DC);
    IntersectClipRect(DC, r.left, r.top, r.right, r.bottom);
    SetViewportOrgEx(DC, r.left, r.top, nullptr);
    try {
      g->Paint(DC);
    } catch (...) {
      RestoreDC(DC, saved);
      throw;
    }
    RestoreDC(DC, saved);
  }
}

TControl* TWinControl::ControlAtPos(POINT Pt) const {
  for (auto it = FControls.rbegin(); it != FControls.rend(); ++it) {
    auto* g = dynamic_cast<TGraphicControl*>(*it);
    if (!g || !g->FVisible || !g->FEnabled) continue;
    RECT r = g->BoundsRect();
    if (PtInRect(&r, Pt)) return g;
  }
  return nullptr;
}

bool TWinControl::CNCommand(WORD) { return false; }
bool TWinControl::CNNotify(NMHDR*, LRESULT&) { return false; }
bool TWinControl::CNCtlColor(HDC, HBRUSH&) { return false; }
bool TWinControl::CNDrawItem(DRAWITEMSTRUCT*) { return false; }

bool TWinControl::ChildAnswers(UINT Msg, WPARAM WParam, LPARAM LParam, LRESULT& Result) {
  switch (Msg) {
    case WM_COMMAND:
      if (LParam) {
        TWinControl* child = FindControl(reinterpret_cast<HWND>(LParam));
        if (child && child != this && child->CNCommand(HIWORD(WParam))) {
          Result = 0;
          return true;
        }
      }
      return false;
    case WM_NOTIFY: {
      auto* hdr = reinterpret_cast<NMHDR*>(LParam);
      TWinControl* child = FindControl(hdr->hwndFrom);
      LRESULT result = 0;
      if (!child || child == this || !child->CNNotify(hdr, result)) return false;
      Result = result;
      return true;
    }
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX: {
      TWinControl* child = FindControl(reinterpret_cast<HWND>(LParam));
      HBRUSH brush = nullptr;
      if (!child || child == this || !child->CNCtlColor(reinterpret_cast<HDC>(WParam), brush)) return false;
      Result = reinterpret_cast<LRESULT>(brush);
      return true;
    }
    case WM_DRAWITEM: {
      auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(LParam);
      TWinControl* child = item->CtlType == ODT_MENU ? nullptr : FindControl(item->hwndItem);
      if (!child || child == this || !child->CNDrawItem(item)) return false;
      Result = TRUE;
      return true;
    }
    default:
      return false;
  }
}

void TWinControl::PaintWithChildren() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(FHandle, &ps);
  try {
    PaintWindow(dc);
    PaintControls(dc);
  } catch (...) {
    EndPaint(FHandle, &ps);
    throw;
  }
  EndPaint(FHandle, &ps);
}

LRESULT TWinControl::WindowPosChanged(UINT Msg, WPARAM WParam, LPARAM LParam) {
  LRESULT r = DefaultHandler(Msg, WParam, LParam);
  auto* wp = reinterpret_cast<WINDOWPOS*>(LParam);
  if (!(wp->flags & SWP_NOSIZE) || !(wp->flags & SWP_NOMOVE)) {
    RECT wr;
    GetWindowRect(FHandle, &wr);
    HWND parent = GetAncestor(FHandle, GA_PARENT);
    if ((GetWindowLongPtrW(FHandle, GWL_STYLE) & WS_CHILD) && parent)
      MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&wr), 2);
    bool sized = wr.right - wr.left != FWidth || wr.bottom - wr.top != FHeight;
    UpdateBoundsFromWindow(wr.left, wr.top, wr.right - wr.left, wr.bottom - wr.top);
    if (!(wp->flags & SWP_NOSIZE)) {
      Realign();
      if (sized || !FCreating) Resize();
    }
  }
  return r;
}

LRESULT TWinControl::WndProc(UINT Msg, WPARAM WParam, LPARAM LParam) {
  LRESULT answer = 0;
  if (ChildAnswers(Msg, WParam, LParam, answer)) return answer;
  switch (Msg) {
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      if (!FDefProc) {
        // Check boxes and radio buttons take their container's colour.
        SetBkColor(reinterpret_cast<HDC>(WParam), ColorToRGB(FColor));
        return reinterpret_cast<LRESULT>(BackgroundBrush());
      }
      break;
    case WM_ERASEBKGND:
      if (!FDefProc) return 1;  // painted in WM_PAINT, with the windowless children
      break;
    case WM_PAINT:
      if (!FDefProc) {
        PaintWithChildren();
        return 0;
      }
      break;
    case WM_WINDOWPOSCHANGED:
      return WindowPosChanged(Msg, WParam, LParam);
    case WM_SETCURSOR:
      // While the screen has a cursor of its own (the hourglass of a long
      // job), it holds over every window of the program, mouse moves or not.
      if (Screen && Screen->Cursor() != crDefault) {
        ::SetCursor(CursorHandle(Screen->Cursor()));
        return TRUE;
      }
      break;
    case WM_LBUTTONDOWN:
      if (!FDefProc) FMouseControl = ControlAtPos(POINT{static_cast<short>(LOWORD(LParam)),
                                                        static_cast<short>(HIWORD(LParam))});
      break;
    case WM_LBUTTONUP:
      if (!FDefProc && FMouseControl) {
        TControl* c = FMouseControl;
        FMouseControl = nullptr;
        if (c == ControlAtPos(POINT{static_cast<short>(LOWORD(LParam)), static_cast<short>(HIWORD(LParam))}))
          c->Click();
        return 0;
      }
      break;
    default:
      break;
  }
  return DefaultHandler(Msg, WParam, LParam);
}

void TWinControl::Resize() {
  if (OnResize && !Loading()) OnResize(this);
}

// ------------------------------------------------------------ alignment

void TWinControl::AdjustClientRect(RECT& Rect) const { InflateRect(&Rect, -FBorderWidth, -FBorderWidth); }

void TWinControl::Realign() {
  if (FAlignLevel > 0 || Loading()) return;
  RECT r{0, 0, ClientWidth(), ClientHeight()};
  AdjustClientRect(r);
  ++FAlignLevel;
  try {
    AlignControls(r);
  } catch (...) {
    --FAlignLevel;
    throw;
  }
  --FAlignLevel;
}

void TWinControl::AlignControls(RECT& R) {
  auto place = [&](TAlign a) {
    std::vector<TControl*> list;
    for (TControl* c : FControls)
      if (c->FAlign == a && c->FVisible) list.push_back(c);
    // Among controls of one alignment, the one nearer the edge goes first.
    std::stable_sort(list.begin(), list.end(), [a](TControl* x, TControl* y) {
      switch (a) {
        case alTop: return x->FTop < y->FTop;
        case alBottom: return x->FTop + x->FHeight > y->FTop + y->FHeight;
        case alLeft: return x->FLeft < y->FLeft;
        case alRight: return x->FLeft + x->FWidth > y->FLeft + y->FWidth;
        default: return false;
      }
    });
    for (TControl* c : list) {
      int w = std::max(0L, R.right - R.left), h = std::max(0L, R.bottom - R.top);
      switch (a) {
        case alTop:
          c->SetBounds(R.left, R.top, w, c->FHeight);
          R.top += c->FHeight;
          break;
        case alBottom:
          c->SetBounds(R.left, R.bottom - c->FHeight, w, c->FHeight);
          R.bottom -= c->FHeight;
          break;
        case alLeft:
          c->SetBounds(R.left, R.top, c->FWidth, h);
          R.left += c->FWidth;
          break;
        case alRight:
          c->SetBounds(R.right - c->FWidth, R.top, c->FWidth, h);
          R.right -= c->FWidth;
          break;
        case alClient:
          c->SetBounds(R.left, R.top, w, h);
          break;
        default:
          break;
      }
    }
  };
  for (TAlign a : {alTop, alBottom, alLeft, alRight, alClient}) place(a);
}
