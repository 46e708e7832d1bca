#include "classlib/Forms.h"

#include <ole2.h>
#include <commctrl.h>

#include <algorithm>

#include "classlib/Buttons.h"
#include "classlib/ComCtrls.h"
#include "classlib/ExtCtrls.h"
#include "classlib/FormReader.h"
#include "classlib/StdCtrls.h"
#include "classlib/Threads.h"
#include "classlib/Units.h"
#include "classlib/WinText.h"

TApplication* Application = nullptr;
TScreen* Screen = nullptr;

const TEnumInfo FormBorderStyleInfo{"TFormBorderStyle",
                                    {"bsNone", "bsSingle", "bsSizeable", "bsDialog", "bsToolWindow", "bsSizeToolWin"}};
const TEnumInfo BorderStyleInfo{"TBorderStyle", {"bsNone", "bsSingle"}};
const TEnumInfo BorderIconInfo{"TBorderIcon", {"biSystemMenu", "biMinimize", "biMaximize", "biHelp"}};
const TEnumInfo FormStyleInfo{"TFormStyle", {"fsNormal", "fsMDIChild", "fsMDIForm", "fsStayOnTop"}};
const TEnumInfo WindowStateInfo{"TWindowState", {"wsNormal", "wsMinimized", "wsMaximized"}};
const TEnumInfo PositionInfo{"TPosition",
                             {"poDesigned", "poDefault", "poDefaultPosOnly", "poDefaultSizeOnly", "poScreenCenter",
                              "poDesktopCenter", "poMainFormCenter", "poOwnerFormCenter"}};

QNT_PUBLISH(TForm,
  Prop::String("Caption", &TForm::Caption, &TForm::SetCaption),
  Prop::Integer("ClientWidth", &TForm::ClientWidth, &TForm::SetClientWidth),
  Prop::Integer("ClientHeight", &TForm::ClientHeight, &TForm::SetClientHeight),
  Prop::Enum("BorderStyle", &TForm::BorderStyle, &TForm::SetBorderStyle, FormBorderStyleInfo, bsSizeable),
  Prop::Enum("FormStyle", &TForm::FormStyle, &TForm::SetFormStyle, FormStyleInfo, fsNormal),
  Prop::Set("BorderIcons", &TForm::BorderIcons, &TForm::SetBorderIcons, BorderIconInfo,
            (1u << biSystemMenu) | (1u << biMinimize) | (1u << biMaximize)),
  Prop::Boolean("Scaled", &TForm::Scaled, &TForm::SetScaled, true),
  Prop::Integer("PixelsPerInch", &TForm::PixelsPerInch, &TForm::SetPixelsPerInch),
  Prop::Integer("TextHeight", &TForm::TextHeight, &TForm::SetTextHeight),
  Prop::Boolean("OldCreateOrder", &TForm::OldCreateOrder, &TForm::SetOldCreateOrder, false),
  Prop::Enum("WindowState", &TForm::WindowState, &TForm::SetWindowState, WindowStateInfo, wsNormal),
  Prop::Enum("Position", &TForm::Position, &TForm::SetPosition, PositionInfo, poDesigned),
  Prop::Component("ActiveControl", &TForm::ActiveControl, &TForm::SetActiveControl),
  Prop::Event("OnCreate", &TForm::OnCreate, &TForm::OnCreate),
  Prop::Event("OnDestroy", &TForm::OnDestroy, &TForm::OnDestroy),
  Prop::Event("OnShow", &TForm::OnShow, &TForm::OnShow),
  Prop::Event("OnHide", &TForm::OnHide, &TForm::OnHide),
  Prop::Event("OnActivate", &TForm::OnActivate, &TForm::OnActivate),
  Prop::Event("OnDeactivate", &TForm::OnDeactivate, &TForm::OnDeactivate),
  Prop::Event("OnClose", &TForm::OnClose, &TForm::OnClose),
  Prop::Event("OnCloseQuery", &TForm::OnCloseQuery, &TForm::OnCloseQuery));
QNT_PUBLISH(TApplication);
QNT_PUBLISH(TScreen);

namespace {
// Posted to a form by Release.
constexpr UINT CM_RELEASE = WM_APP + 0x3F01;

void FormStyles(bool Child, TFormBorderStyle Border, TFormStyle Style, TBorderIcons Icons, DWORD& S, DWORD& Ex) {
  Ex = WS_EX_CONTROLPARENT;
  if (Child) {
    S = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    return;
  }
  S = WS_CLIPCHILDREN;
  switch (Border) {
    case bsNone: S |= WS_POPUP; break;
    case bsSingle: S |= WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_BORDER; break;
    case bsSizeable: S |= WS_OVERLAPPEDWINDOW; break;
    case bsDialog:
      S |= WS_POPUP | WS_CAPTION | WS_SYSMENU;
      Ex |= WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
      break;
    case bsToolWindow:
      S |= WS_CAPTION | WS_SYSMENU;
      Ex |= WS_EX_TOOLWINDOW;
      break;
    case bsSizeToolWin:
      S |= WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;
      Ex |= WS_EX_TOOLWINDOW;
      break;
  }
  if (Style == fsStayOnTop) Ex |= WS_EX_TOPMOST;
  // The caption's buttons: without the system menu there are none.
  if (!(Icons & (1u << biSystemMenu))) S &= ~static_cast<DWORD>(WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX);
  if (!(Icons & (1u << biMinimize))) S &= ~static_cast<DWORD>(WS_MINIMIZEBOX);
  if (!(Icons & (1u << biMaximize))) S &= ~static_cast<DWORD>(WS_MAXIMIZEBOX);
  if ((Icons & (1u << biHelp)) && (S & WS_SYSMENU) && !(S & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX)))
    Ex |= WS_EX_CONTEXTHELP;
}

struct TDisabledWindows {
  HWND Except;
  std::vector<HWND> List;
};

BOOL CALLBACK DisableOne(HWND h, LPARAM p) {
  auto* d = reinterpret_cast<TDisabledWindows*>(p);
  if (h != d->Except && IsWindowVisible(h) && IsWindowEnabled(h)) {
    EnableWindow(h, FALSE);
    d->List.push_back(h);
  }
  return TRUE;
}
}  // namespace

// ---------------------------------------------------------------- TForm

TForm::TForm(TComponent* AOwner) : TWinControl(AOwner) {
  FVisible = false;
  FParentFont = false;
  if (Screen) Screen->FForms.push_back(this);
}

TForm::~TForm() {
  BeforeDestruction();
  if (Screen) {
    auto& f = Screen->FForms;
    f.erase(std::remove(f.begin(), f.end(), this), f.end());
    if (Screen->FActiveForm == this) Screen->FActiveForm = nullptr;
  }
  if (Application && Application->FMainForm == this) Application->FMainForm = nullptr;
  // Children first, while this form's procedure is still whole.
  while (!FControls.empty()) {
    TControl* c = FControls.back();
    c->BeforeDestruction();
    if (!FControls.empty() && FControls.back() == c) delete c;
  }
  DestroyHandle();
}

void TForm::BeforeDestruction() {
  if (FDestroyFired) return;
  FDestroyFired = true;
  // The components it owns first (pages owned by a wizard form).
  for (int i = ComponentCount() - 1; i >= 0; --i)
    if (i < ComponentCount()) Components(i)->BeforeDestruction();
  if (OnDestroy) OnDestroy(this);
}

void TForm::SetName(const std::string& NewName) {
  std::string name = NewName;
  if (HasState(csReading) && Owner() && !name.empty()) {
    for (int n = 1;; ++n) {
      TComponent* other = Owner()->FindComponent(name);
      if (!other || other == this) break;
      name = NewName + "_" + std::to_string(n);
    }
  }
  TWinControl::SetName(name);
}

void TForm::ReadForm(std::initializer_list<std::string> ResourceNames) {
  for (const std::string& name : ResourceNames) {
    ReadComponentRes(name, this);
    // The reader tells only nested objects their parent: the controls
    // written directly inside the form sit on the form.
    for (int i = 0; i < ComponentCount(); ++i) {
      auto* c = dynamic_cast<TControl*>(Components(i));
      if (c && !c->Parent() && !dynamic_cast<TForm*>(c)) c->SetParent(this);
    }
    Realign();
  }
  DoCreate();
  if (FVisible) {
    FVisible = false;
    SetVisible(true);
  }
}

void TForm::DoCreate() {
  if (OnCreate) OnCreate(this);
}

void TForm::DoShow() {
  if (OnShow) OnShow(this);
}

void TForm::DoHide() {
  if (OnHide) OnHide(this);
}

bool TForm::CloseQuery() {
  bool can = true;
  if (OnCloseQuery) OnCloseQuery(this, can);
  return can;
}

void TForm::DoClose(TCloseAction& Action) {
  if (OnClose) OnClose(this, Action);
}

SIZE TForm::FrameSize() const {
  DWORD s, ex;
  FormStyles(FParent || FParentWindow, FBorderStyle, FFormStyle, FBorderIcons, s, ex);
  RECT r{0, 0, 0, 0};
  AdjustWindowRectEx(&r, s, FALSE, ex);
  return SIZE{r.right - r.left, r.bottom - r.top};
}

void TForm::SizeFromClient() {
  // The outer size follows a client size asked for before the window exists,
  // so that whoever places the form before it is shown places what is shown.
  if (FHandle) return;
  const SIZE frame = FrameSize();
  if (FClientWidth >= 0) FWidth = FClientWidth + frame.cx;
  if (FClientHeight >= 0) FHeight = FClientHeight + frame.cy;
}

int TForm::ClientWidth() const {
  if (FHandle) return TWinControl::ClientWidth();
  if (FClientWidth >= 0) return FClientWidth;
  return std::max(0, FWidth - static_cast<int>(FrameSize().cx));
}

int TForm::ClientHeight() const {
  if (FHandle) return TWinControl::ClientHeight();
  if (FClientHeight >= 0) return FClientHeight;
  return std::max(0, FHeight - static_cast<int>(FrameSize().cy));
}

void TForm::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  // A size set after the client size, before the window exists, is the later
  // wish: the window must not be made from the earlier client size.
  if (!FHandle) {
    if (AWidth != FWidth) FClientWidth = -1;
    if (AHeight != FHeight) FClientHeight = -1;
  }
  TWinControl::SetBounds(ALeft, ATop, AWidth, AHeight);
}

void TForm::SetClientWidth(int Value) {
  if (FHandle) {
    SetWidth(FWidth - ClientWidth() + Value);
    return;
  }
  // The frame from the styles, not from the present size: a form not sized
  // yet is smaller than its frame.
  FClientWidth = -1;
  TWinControl::SetBounds(FLeft, FTop, Value + static_cast<int>(FrameSize().cx), FHeight);
  FClientWidth = Value;
}

void TForm::SetClientHeight(int Value) {
  if (FHandle) {
    SetHeight(FHeight - ClientHeight() + Value);
    return;
  }
  FClientHeight = -1;
  TWinControl::SetBounds(FLeft, FTop, FWidth, Value + static_cast<int>(FrameSize().cy));
  FClientHeight = Value;
}

void TForm::SetBorderStyle(TFormBorderStyle Value) {
  if (Value == FBorderStyle) return;
  FBorderStyle = Value;
  SizeFromClient();
  if (FHandle) {
    DWORD s, ex;
    FormStyles(FParent || FParentWindow, FBorderStyle, FFormStyle, FBorderIcons, s, ex);
    if (IsWindowVisible(FHandle)) s |= WS_VISIBLE;
    SetWindowLongPtrW(FHandle, GWL_STYLE, static_cast<LONG_PTR>(s));
    SetWindowLongPtrW(FHandle, GWL_EXSTYLE, static_cast<LONG_PTR>(ex));
    SetWindowPos(FHandle, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  }
}

void TForm::SetBorderIcons(TBorderIcons Value) {
  if (Value == FBorderIcons) return;
  FBorderIcons = Value;
  SizeFromClient();
  if (FHandle) {
    // Restyled as a change of border style would be.
    TFormBorderStyle b = FBorderStyle;
    FBorderStyle = b == bsNone ? bsSingle : bsNone;
    SetBorderStyle(b);
  }
}

void TForm::SetFormStyle(TFormStyle Value) {
  if (Value == FFormStyle) return;
  FFormStyle = Value;
  if (FHandle && !(FParent || FParentWindow))
    SetWindowPos(FHandle, Value == fsStayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TForm::SetWindowState(TWindowState Value) {
  if (Value == FWindowState) return;
  FWindowState = Value;
  if (FHandle && IsWindowVisible(FHandle))
    ShowWindow(FHandle, Value == wsMaximized ? SW_MAXIMIZE : Value == wsMinimized ? SW_MINIMIZE : SW_RESTORE);
}

void TForm::SetActiveControl(TWinControl* Value) {
  if (Value == FActiveControl) return;
  if (FActiveControl) FActiveControl->RemoveFreeNotification(this);
  FActiveControl = Value;
  if (Value) {
    Value->FreeNotification(this);
    if (FHandle && IsWindowVisible(FHandle) && !Loading() && Value->CanFocus()) Value->SetFocus();
  }
}

void TForm::Notification(TComponent* AComponent, TOperation Operation) {
  TWinControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FActiveControl) FActiveControl = nullptr;
}

void TForm::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  bool child = FParent || FParentWindow;
  FormStyles(child, FBorderStyle, FFormStyle, FBorderIcons, Params.Style, Params.ExStyle);
  if (!FEnabled) Params.Style |= WS_DISABLED;
  if (!child) Params.WndParent = Application ? Application->Handle() : nullptr;
}

void TForm::CreateWnd() {
  SizeFromClient();
  TWinControl::CreateWnd();
  FClientWidth = FClientHeight = -1;
}

void TForm::SetParent(TWinControl* AParent) {
  bool wasChild = FParent || FParentWindow;
  bool willBeChild = AParent || FParentWindow;
  if (FHandle && wasChild != willBeChild) DestroyHandle();
  TWinControl::SetParent(AParent);
  SizeFromClient();
}

void TForm::ApplyPosition() {
  if (FParent || FParentWindow) return;
  int x = FLeft, y = FTop;
  RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  switch (FPosition) {
    case poMainFormCenter:
    case poOwnerFormCenter: {
      TForm* ref = FPosition == poOwnerFormCenter ? dynamic_cast<TForm*>(Owner()) : nullptr;
      if (!ref && Application) ref = Application->MainForm();
      if (ref && ref != this && ref->HandleAllocated() && IsWindowVisible(ref->FHandle))
        GetWindowRect(ref->FHandle, &area);
      [[fallthrough]];
    }
    case poScreenCenter:
    case poDesktopCenter:
      x = area.left + (area.right - area.left - FWidth) / 2;
      y = area.top + (area.bottom - area.top - FHeight) / 2;
      break;
    default:
      return;
  }
  SetBounds(x, y, FWidth, FHeight);
}

void TForm::FocusFirst() {
  if (!FHandle) return;
  HWND f = GetFocus();
  if (f && (f == FHandle || IsChild(FHandle, f)) && f != FHandle) return;
  if (FActiveControl && FActiveControl->CanFocus() && FActiveControl->HandleAllocated()) {
    ::SetFocus(FActiveControl->Handle());
    return;
  }
  HWND first = GetNextDlgTabItem(FHandle, nullptr, FALSE);
  ::SetFocus(first ? first : FHandle);
}

void TForm::SetVisible(bool Value) {
  if (Loading()) {
    FVisible = Value;
    return;
  }
  bool child = FParent || FParentWindow;
  if (Value) {
    if (FVisible && FHandle && IsWindowVisible(FHandle)) return;
    FVisible = true;
    try {
      HandleNeeded();
      if (!FShownOnce) {
        ApplyPosition();
        FShownOnce = true;
      }
      DoShow();
    } catch (...) {
      FVisible = false;
      throw;
    }
    if (child) {
      ShowWindow(FHandle, SW_SHOW);
      RequestAlign();
    } else {
      ShowWindow(FHandle, FWindowState == wsMaximized   ? SW_SHOWMAXIMIZED
                          : FWindowState == wsMinimized ? SW_SHOWMINIMIZED
                                                        : SW_SHOWNORMAL);
      SetActiveWindow(FHandle);
      FocusFirst();
    }
  } else {
    if (!FVisible) return;
    FVisible = false;
    if (FHandle) ShowWindow(FHandle, SW_HIDE);
    if (child) RequestAlign();
    DoHide();
  }
}

void TForm::BringToFront() {
  TWinControl::BringToFront();
  if (FHandle && !(FParent || FParentWindow)) SetForegroundWindow(FHandle);
}

TModalResult TForm::ShowModal() {
  if (FVisible || !FEnabled || FModal) throw EInvalidOperation("Cannot make a visible window modal");
  if (GetCapture()) ReleaseCapture();
  HWND prevActive = GetActiveWindow();
  HandleNeeded();
  TDisabledWindows disabled{FHandle, {}};
  EnumThreadWindows(GetCurrentThreadId(), DisableOne, reinterpret_cast<LPARAM>(&disabled));
  FModal = true;
  FModalResult = mrNone;
  auto restore = [&] {
    for (HWND h : disabled.List)
      if (IsWindow(h)) EnableWindow(h, TRUE);
    FModal = false;
    if (FHandle) SetVisible(false);
    if (prevActive && IsWindow(prevActive) && IsWindowVisible(prevActive)) SetActiveWindow(prevActive);
  };
  TModalResult result;
  try {
    Show();
    for (;;) {
      if (Application->Terminated()) {
        FModalResult = mrCancel;
        break;
      }
      if (FModalResult != mrNone) {
        CloseModal();
        if (FModalResult != mrNone) break;
        continue;
      }
      Application->HandleMessage();
    }
    result = FModalResult;
  } catch (...) {
    restore();
    throw;
  }
  restore();
  return result;
}

void TForm::CloseModal() {
  TCloseAction action = CloseQuery() ? caHide : caNone;
  if (action != caNone) DoClose(action);
  if (action == caNone)
    FModalResult = mrNone;
  else if (action == caFree)
    Release();
}

void TForm::Close() {
  if (FModal) {
    FModalResult = mrCancel;
    return;
  }
  if (!CloseQuery()) return;
  TCloseAction action = caHide;
  DoClose(action);
  if (action == caNone) return;
  if (Application && Application->MainForm() == this) {
    Application->Terminate();
    return;
  }
  switch (action) {
    case caHide: Hide(); break;
    case caMinimize: SetWindowState(wsMinimized); break;
    default: Release(); break;
  }
}

void TForm::Release() {
  if (FHandle)
    PostMessageW(FHandle, CM_RELEASE, 0, 0);
  else
    Free();
}

void TForm::Activated(bool Active) {
  if (Active) {
    if (Screen) Screen->FActiveForm = this;
    if (FSavedFocus && IsWindow(FSavedFocus) && IsChild(FHandle, FSavedFocus) && IsWindowEnabled(FSavedFocus))
      ::SetFocus(FSavedFocus);
    else
      FocusFirst();
    if (OnActivate) OnActivate(this);
  } else {
    HWND f = GetFocus();
    if (f && IsChild(FHandle, f)) FSavedFocus = f;
    if (OnDeactivate) OnDeactivate(this);
  }
}

namespace {
TButton* FindButton(const TWinControl* Parent, bool Default) {
  for (int i = 0; i < Parent->ControlCount(); ++i) {
    TControl* c = Parent->Controls(i);
    if (!c->Visible() || !c->Enabled()) continue;
    if (auto* b = dynamic_cast<TButton*>(c)) {
      if (Default ? b->Default() : b->Cancel()) return b;
    } else if (auto* w = dynamic_cast<TWinControl*>(c); w && !dynamic_cast<TForm*>(c)) {
      if (TButton* found = FindButton(w, Default)) return found;
    }
  }
  return nullptr;
}
}  // namespace

TButton* TForm::DefaultButton() const { return FindButton(this, true); }
TButton* TForm::CancelButton() const { return FindButton(this, false); }

bool TForm::DialogKey(WORD Key) {
  TWinControl* focus = FindControl(GetFocus());
  if (focus && !ContainsControl(focus)) focus = nullptr;
  if (Key == VK_RETURN) {
    if (auto* b = dynamic_cast<TButton*>(focus); b && b->Enabled()) {
      b->Click();
      return true;
    }
  }
  // The page that holds the focus first, then the forms around it.
  for (TForm* f = focus ? GetOwnFormOf(focus) : this; f;) {
    TButton* b = Key == VK_RETURN ? f->DefaultButton() : f->CancelButton();
    if (b) {
      b->Click();
      return true;
    }
    if (f == this || !f->Parent()) break;
    f = GetOwnFormOf(f->Parent());
  }
  return false;
}

LRESULT TForm::WndProc(UINT Msg, WPARAM WParam, LPARAM LParam) {
  switch (Msg) {
    case WM_CLOSE:
      Close();
      return 0;
    case WM_COMMAND:
      // Return and Esc as the dialog manager reports them.
      if (HIWORD(WParam) == 0 && (LOWORD(WParam) == IDOK || LOWORD(WParam) == IDCANCEL) &&
          (!LParam || !FindControl(reinterpret_cast<HWND>(LParam)))) {
        DialogKey(LOWORD(WParam) == IDOK ? VK_RETURN : VK_ESCAPE);
        return 0;
      }
      break;
    case WM_ACTIVATE:
      if (!(FParent || FParentWindow)) {
        Activated(LOWORD(WParam) != WA_INACTIVE);
        return 0;
      }
      break;
    case WM_SETFOCUS:
      // A form passes the focus on to its first control.
      if (FVisible) {
        HWND first = FActiveControl && FActiveControl->HandleAllocated() && FActiveControl->CanFocus()
                         ? FActiveControl->Handle()
                         : GetNextDlgTabItem(FHandle, nullptr, FALSE);
        if (first && first != FHandle) ::SetFocus(first);
        return 0;
      }
      break;
    case CM_RELEASE:
      Free();
      return 0;
    default:
      break;
  }
  return TWinControl::WndProc(Msg, WParam, LParam);
}

TForm* GetParentForm(TControl* Control) {
  if (!Control) return nullptr;
  while (Control->Parent()) Control = Control->Parent();
  return dynamic_cast<TForm*>(Control);
}

TForm* GetOwnFormOf(TControl* Control) {
  for (TControl* c = Control; c; c = c->Parent())
    if (auto* f = dynamic_cast<TForm*>(c)) return f;
  return nullptr;
}

// ---------------------------------------------------------------- TApplication

namespace {
const wchar_t kAppClass[] = L"QntApplication";

LRESULT CALLBACK AppWndProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_CLOSE && Application) {
    Application->Terminate();
    return 0;
  }
  return DefWindowProcW(h, m, w, l);
}
}  // namespace

// Until the program names itself, its title (the caption of its message
// boxes) is its file's name without the extension, as the class library
// names an application.
TApplication::TApplication(TComponent* AOwner)
    : TComponent(AOwner), FTitle(ChangeFileExt(ExtractFileName(ParamStr(0)), "")) {}

TApplication::~TApplication() {
  // Forms first (they are owned), while the application window stands.
  DestroyComponents();
  if (FHandle) DestroyWindow(FHandle);
}

HWND TApplication::Handle() {
  if (!FHandle) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = AppWndProc;
    wc.hInstance = ModuleOfControls();
    wc.lpszClassName = kAppClass;
    RegisterClassExW(&wc);
    FHandle = CreateWindowExW(0, kAppClass, Widen(FTitle).c_str(), WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0, 0, 0,
                              nullptr, nullptr, ModuleOfControls(), nullptr);
    if (!FHandle) throw EOSError("Cannot create the application window: " + SysErrorMessage(GetLastError()));
  }
  return FHandle;
}

void TApplication::SetTitle(const std::string& Value) {
  FTitle = Value;
  if (FHandle) SetWindowTextW(FHandle, Widen(Value).c_str());
}

void TApplication::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FMainForm) FMainForm = nullptr;
}

bool TApplication::ProcessMessage(MSG& Msg) {
  if (!PeekMessageW(&Msg, nullptr, 0, 0, PM_REMOVE)) return false;
  if (Msg.message == WM_QUIT) {
    FTerminated = true;
    return true;
  }
  try {
    HWND root = Msg.hwnd ? GetAncestor(Msg.hwnd, GA_ROOT) : nullptr;
    if (root && dynamic_cast<TForm*>(TWinControl::FindControl(root)) && IsDialogMessageW(root, &Msg)) return true;
    TranslateMessage(&Msg);
    DispatchMessageW(&Msg);
  } catch (...) {
    HandleException(this);
  }
  return true;
}

void TApplication::HandleMessage() {
  MSG msg;
  if (!ProcessMessage(msg) && !FTerminated) WaitMessage();
}

void TApplication::ProcessMessages() {
  MSG msg;
  while (ProcessMessage(msg)) {
  }
}

void TApplication::Run() {
  if (FMainForm && ShowMainForm) {
    try {
      FMainForm->Show();
    } catch (...) {
      HandleException(this);
    }
  }
  while (!FTerminated) HandleMessage();
}

void TApplication::Terminate() {
  if (!FTerminated) PostQuitMessage(0);
  FTerminated = true;
}

void TApplication::HandleException(TObject* Sender) {
  std::exception_ptr ep = std::current_exception();
  if (!ep) return;
  auto report = [&](Exception& e) {
    if (OnException)
      OnException(Sender, &e);
    else
      ShowException(&e);
  };
  try {
    std::rethrow_exception(ep);
  } catch (EAbort&) {
  } catch (Exception& e) {
    report(e);
  } catch (std::exception& e) {
    Exception wrapped(e.what());
    report(wrapped);
  } catch (...) {
    Exception wrapped("Unknown exception");
    report(wrapped);
  }
}

void TApplication::ShowException(Exception* E) {
  std::string msg = E->Message;
  if (!msg.empty() && msg.back() > '.') msg += '.';
  MessageBox(msg, FTitle, MB_OK | MB_ICONSTOP);
}

int TApplication::MessageBox(const std::string& Text, const std::string& Caption, unsigned Flags) {
  HWND owner = GetActiveWindow();
  if (!owner && FMainForm && FMainForm->HandleAllocated()) owner = FMainForm->Handle();
  return ::MessageBoxW(owner, Widen(Text).c_str(), Widen(Caption).c_str(), Flags);
}

bool TApplication::HelpJump(const std::string& JumpID) {
  if (FHelpFile.empty()) return false;
  // The viewer speaks the ANSI code page.
  auto ansi = [](const std::string& Utf8) {
    const std::wstring w = Widen(Utf8);
    const int n = WideCharToMultiByte(CP_ACP, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string a(n > 0 ? static_cast<size_t>(n) : 1u, '\0');
    if (n > 0) WideCharToMultiByte(CP_ACP, 0, w.c_str(), -1, a.data(), n, nullptr, nullptr);
    return a;
  };
  const std::string file = ansi(FHelpFile), macro = ansi("JI(`',`" + JumpID + "')");
  HWND owner = FMainForm && FMainForm->HandleAllocated() ? FMainForm->Handle() : Handle();
  return WinHelpA(owner, file.c_str(), HELP_COMMAND, reinterpret_cast<ULONG_PTR>(macro.c_str())) != FALSE;
}

// ---------------------------------------------------------------- TScreen

int TScreen::PixelsPerInch() const {
  HDC dc = GetDC(nullptr);
  int n = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(nullptr, dc);
  return n;
}

void TScreen::SetCursor(TCursor Value) {
  FCursor = Value;
  ::SetCursor(CursorHandle(Value));
}

// ---------------------------------------------------------------- start-up

namespace {
bool oleStarted = false;

void InitForms() {
  // The shell's link object and self-registration need COM on this thread.
  HRESULT hr = OleInitialize(nullptr);
  oleStarted = SUCCEEDED(hr);
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&icc);
  Application = new TApplication(nullptr);
  Screen = new TScreen(nullptr);
  // Long operations of the window-free libraries (the archive, the FTP
  // client) run their pending messages through the application from now on.
  SetMessagePump([] {
    if (Application) Application->ProcessMessages();
  });
  // Every control class of the library can be read from a text form, even
  // when no code of the program names it.
  RegisterClasses<TForm, TLabel, TButton, TEdit, TCheckBox, TPanel, TBitBtn, TGroupBox, TRadioGroup, TListBox, TMemo,
                  TProgressBar, TGauge, TBevel, TImage, TTimer>();
}

void FinishForms() {
  SetMessagePump(nullptr);
  delete Application;
  Application = nullptr;
  delete Screen;
  Screen = nullptr;
  if (oleStarted) OleUninitialize();
  oleStarted = false;
}

const TUnitRegistration formsUnit(ulClassLib + 50, "Forms", InitForms, FinishForms);
}  // namespace
