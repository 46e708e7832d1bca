// Controls: the base of everything that shows on screen.
//
//   TControl       position, alignment, visibility, font and text; lives inside
//                  a parent TWinControl.
//   TGraphicControl  a control without a window of its own: the parent paints
//                  it (labels, images, bevels, gauges).
//   TWinControl    a control over a real window: it holds child controls,
//                  aligns them (Align, BorderWidth), orders them for the Tab
//                  key (TabOrder) and may sit in a foreign window given by
//                  handle (ParentWindow).
//
// Windows are made when first needed (Handle) and carry their object; every
// message reaches the object's WndProc, and no C++ exception leaves a window
// procedure: each is handed to Application->HandleException. A container
// passes the notifications that its child windows send it (WM_COMMAND,
// WM_NOTIFY, WM_CTLCOLOR*, WM_DRAWITEM) on to the child's object, so nested
// panels and group boxes need nothing of their own.
//
// Windows only: the user-interface library (classlib_ui).
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "classlib/Classes.h"
#include "classlib/Graphics.h"
#include "classlib/TypInfo.h"

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
extern const TEnumInfo AlignInfo;

enum TAlignment { taLeftJustify, taRightJustify, taCenter };
extern const TEnumInfo AlignmentInfo;

// A form's modal result: the button or command that closed it.
using TModalResult = int;
constexpr TModalResult mrNone = 0;
constexpr TModalResult mrOk = 1;
constexpr TModalResult mrCancel = 2;
constexpr TModalResult mrAbort = 3;
constexpr TModalResult mrRetry = 4;
constexpr TModalResult mrIgnore = 5;
constexpr TModalResult mrYes = 6;
constexpr TModalResult mrNo = 7;
constexpr TModalResult mrAll = 8;
constexpr TModalResult mrNoToAll = 9;
constexpr TModalResult mrYesToAll = 10;
extern const TIdentMap ModalResultIdents;  // "mrOk" ... for text forms

using TCursor = int;
constexpr TCursor crDefault = 0;
constexpr TCursor crArrow = -2;
constexpr TCursor crHourGlass = -11;
// The system's pointer for a cursor number (crArrow -2 to crSizeAll -22);
// crNone (-1) gives none, and crDefault and the numbers of the class
// library's own drag pointers give the arrow.
HCURSOR CursorHandle(TCursor Cursor);

class EInvalidOperation : public Exception {
public:
  using Exception::Exception;
};

class TWinControl;

class TControl : public TComponent {
  QNT_PUBLISHED(TControl, TComponent)
public:
  explicit TControl(TComponent* AOwner);
  ~TControl() override;

  TWinControl* Parent() const { return FParent; }
  virtual void SetParent(TWinControl* AParent);
  void SetParentComponent(TComponent* Value) override;

  // Relative to the parent's client area (a top-level form: the screen).
  int Left() const { return FLeft; }
  int Top() const { return FTop; }
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  void SetLeft(int v) { SetBounds(v, FTop, FWidth, FHeight); }
  void SetTop(int v) { SetBounds(FLeft, v, FWidth, FHeight); }
  void SetWidth(int v) { SetBounds(FLeft, FTop, v, FHeight); }
  void SetHeight(int v) { SetBounds(FLeft, FTop, FWidth, v); }
  virtual void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
  RECT BoundsRect() const { return RECT{FLeft, FTop, FLeft + FWidth, FTop + FHeight}; }
  virtual int ClientWidth() const { return FWidth; }
  virtual int ClientHeight() const { return FHeight; }

  TAlign Align() const { return FAlign; }
  void SetAlign(TAlign Value);

  bool Visible() const { return FVisible; }
  virtual void SetVisible(bool Value);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // Visible, and so is every parent up to a shown window.
  bool Showing() const;
  bool Enabled() const { return FEnabled; }
  virtual void SetEnabled(bool Value);

  // The control's text (published as Caption or Text by the classes that
  // show one); read from the window when it has one.
  virtual std::string GetText() const { return FText; }
  virtual void SetText(const std::string& Value);
  std::string Caption() const { return GetText(); }
  void SetCaption(const std::string& Value) { SetText(Value); }

  // The control's own font; ParentFont (default) follows the parent's.
  TFont* Font() const { return FFont; }
  void SetFont(const TFont* Value) { FFont->Assign(Value); }
  bool ParentFont() const { return FParentFont; }
  void SetParentFont(bool Value);
  // The system font made from Font, owned by the control.
  HFONT FontHandle();

  TColor Color() const { return FColor; }
  void SetColor(TColor Value);

  TNotifyEvent OnClick;
  // Fires OnClick; a button also sets its form's ModalResult.
  virtual void Click();

  // Asks for a repaint; Repaint paints at once.
  virtual void Invalidate();
  void Repaint();
  // Top of its siblings.
  virtual void BringToFront();

protected:
  // The font changed: by a property (ParentFont goes False) or from the
  // parent (FromParent).
  virtual void FontChanged();
  virtual void TextChanged() {}
  // Reads back the window's own idea of its bounds (the user moved or sized it).
  void UpdateBoundsFromWindow(int ALeft, int ATop, int AWidth, int AHeight);
  // The parent lays out its aligned children again.
  void RequestAlign();
  bool Loading() const { return HasState(csLoading); }

  friend class TWinControl;
  TWinControl* FParent = nullptr;
  int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
  TAlign FAlign = alNone;
  bool FVisible = true;
  bool FEnabled = true;
  std::string FText;
  TFont* FFont;
  bool FParentFont = true;
  bool FFontFromParent = false;
  TColor FColor = clBtnFace;
  HFONT FFontHandle = nullptr;
};

// A control without a window: its parent paints it by calling Paint with the
// device context's origin at the control's top left and clipped to it.
class TGraphicControl : public TControl {
  QNT_PUBLISHED(TGraphicControl, TControl)
public:
  using TControl::TControl;
  virtual void Paint(HDC DC);
  void Invalidate() override;
};

// What a windowed control asks the system for.
struct TCreateParams {
  std::wstring WinClassName;  // empty: the library's own window class
  std::wstring Caption;
  DWORD Style = 0;
  DWORD ExStyle = 0;
  int X = 0, Y = 0, Width = 0, Height = 0;
  HWND WndParent = nullptr;
};

class TWinControl : public TControl {
  QNT_PUBLISHED(TWinControl, TControl)
public:
  explicit TWinControl(TComponent* AOwner);
  ~TWinControl() override;

  // The window, made (with the parents' and the children's) on first use.
  HWND Handle();
  bool HandleAllocated() const { return FHandle != nullptr; }
  void HandleNeeded() { Handle(); }
  // Destroys the window (and the children's); made again when next needed.
  void DestroyHandle();

  // A foreign window to sit in as a child window, when there is no Parent.
  HWND ParentWindow() const { return FParentWindow; }
  void SetParentWindow(HWND Value);

  int ControlCount() const { return static_cast<int>(FControls.size()); }
  TControl* Controls(int Index) const { return FControls.at(static_cast<size_t>(Index)); }
  bool ContainsControl(const TControl* Control) const;

  // Position among the windowed siblings for the Tab key; -1 outside a parent.
  int TabOrder() const;
  void SetTabOrder(int Value);
  bool TabStop() const { return FTabStop; }
  void SetTabStop(bool Value);
  int BorderWidth() const { return FBorderWidth; }
  void SetBorderWidth(int Value);

  int ClientWidth() const override;
  int ClientHeight() const override;
  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
  void SetVisible(bool Value) override;
  void SetEnabled(bool Value) override;
  std::string GetText() const override;
  void SetText(const std::string& Value) override;
  void Invalidate() override;
  void BringToFront() override;

  // Lays the aligned children out again.
  void Realign();

  bool CanFocus() const;
  bool Focused() const;
  virtual void SetFocus();

  TNotifyEvent OnResize;

  // The object of a window of this library, or nullptr.
  static TWinControl* FindControl(HWND Wnd);

  // Every message of the window; the default passes notifications on to the
  // children and paints the windowless ones.
  virtual LRESULT WndProc(UINT Msg, WPARAM WParam, LPARAM LParam);
  // The window class's own handling.
  LRESULT DefaultHandler(UINT Msg, WPARAM WParam, LPARAM LParam);

  // Notifications from this control's own window, passed on by its parent.
  // True when handled (Result then answers the message).
  virtual bool CNCommand(WORD NotifyCode);
  virtual bool CNNotify(NMHDR* Header, LRESULT& Result);
  virtual bool CNCtlColor(HDC DC, HBRUSH& Result);
  virtual bool CNDrawItem(DRAWITEMSTRUCT* Item);

  void Loaded() override;

protected:
  virtual void CreateParams(TCreateParams& Params);
  // Makes the window, then the children's in tab order.
  virtual void CreateWnd();
  // Called once the window and its children exist (fill lists, set limits).
  virtual void CreateWndDone() {}
  // Called right before the window goes.
  virtual void DestroyWndStarting() {}
  // Paints the background of a window of the library's own class; then the
  // windowless children are painted over it.
  virtual void PaintWindow(HDC DC);
  // The area that aligned children share: the client area less BorderWidth.
  virtual void AdjustClientRect(RECT& Rect) const;
  virtual void AlignControls(RECT& Rect);
  virtual void Resize();
  void FontChanged() override;
  HBRUSH BackgroundBrush();
  virtual void InsertControl(TControl* AControl);
  virtual void RemoveControl(TControl* AControl);
  void UpdateZOrder();

  friend class TControl;
  HWND FHandle = nullptr;
  WNDPROC FDefProc = nullptr;  // the system class's procedure; nullptr for ours
  HWND FParentWindow = nullptr;
  std::vector<TControl*> FControls;
  std::vector<TWinControl*> FTabList;
  int FPendingTabOrder = -1;
  bool FTabStop = false;
  int FBorderWidth = 0;
  int FAlignLevel = 0;
  bool FCreating = false;
  HBRUSH FBrush = nullptr;
  TColor FBrushColor = 0;
  TControl* FMouseControl = nullptr;  // windowless child pressed

private:
  static LRESULT CALLBACK StaticWndProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam);
  // A child control's own answer to a notice Windows sends to its parent;
  // false when the child leaves it to the parent.
  bool ChildAnswers(UINT Msg, WPARAM WParam, LPARAM LParam, LRESULT& Result);
  void PaintWithChildren();
  LRESULT WindowPosChanged(UINT Msg, WPARAM WParam, LPARAM LParam);
  void PaintControls(HDC DC);
  TControl* ControlAtPos(POINT Pt) const;
};

// A windowed control of the library's own class that paints itself (panels,
// group boxes).
class TCustomControl : public TWinControl {
  QNT_PUBLISHED(TCustomControl, TWinControl)
public:
  using TWinControl::TWinControl;
};

// The program or library that holds this code. The forms library's window
// classes are registered for it (and its windows made with it), so that a
// control library loaded into a program with forms of its own keeps classes
// of its own, each leading to its own window procedures.
HINSTANCE ModuleOfControls();

// The system font for a font description (the caller owns it).
HFONT CreateFontHandle(const TFont& Font);
// A colour as RGB (system colours looked up).
COLORREF ColorToRGB(TColor Color);
