// Forms, the application and the screen.
//
// A form is written as a class with a text form resource of its class name
// (see classlib/FormReader.h and README "Conventions"):
//
//     class TAskForm : public TForm {
//       QNT_PUBLISHED(TAskForm, TForm)
//     public:
//       explicit TAskForm(TComponent* AOwner) : TForm(AOwner) {
//         RegisterHandler("OkClick", this, &TAskForm::OkClick);
//         ReadForm("TASKFORM");        // last thing of the most derived constructor
//       }
//       void OkClick(TObject* Sender);
//     };
//     QNT_PUBLISH(TAskForm);               // in the .cpp
//
// ReadForm reads the resource (all components, then Loaded on each) and
// fires OnCreate; a form made in code without a resource calls it with no
// names, or not at all. Free a form with Free() (or through its owner), so
// that OnDestroy runs while the form's own class is still whole.
//
// ShowModal runs a message loop of its own until ModalResult is set (a button
// with a ModalResult, Close, the window's close command: mrCancel) or the
// application terminates (mrCancel); loops nest. Return and Esc reach the
// Default and Cancel buttons of the form (or page) that holds the focus.
#pragma once
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "classlib/Controls.h"

enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
using TBorderStyle = TFormBorderStyle;  // controls use bsNone and bsSingle
extern const TEnumInfo FormBorderStyleInfo;
extern const TEnumInfo BorderStyleInfo;  // bsNone, bsSingle
enum TBorderIcon { biSystemMenu, biMinimize, biMaximize, biHelp };
using TBorderIcons = unsigned;  // bit (1 << icon)
extern const TEnumInfo BorderIconInfo;
enum TFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
extern const TEnumInfo FormStyleInfo;
enum TWindowState { wsNormal, wsMinimized, wsMaximized };
extern const TEnumInfo WindowStateInfo;
enum TPosition {
  poDesigned,
  poDefault,
  poDefaultPosOnly,
  poDefaultSizeOnly,
  poScreenCenter,
  poDesktopCenter,
  poMainFormCenter,
  poOwnerFormCenter
};
extern const TEnumInfo PositionInfo;
enum TCloseAction { caNone, caHide, caFree, caMinimize };

using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = std::function<void(TObject* Sender, bool& CanClose)>;
using TExceptionEvent = std::function<void(TObject* Sender, Exception* E)>;

class TButton;

class TForm : public TWinControl {
  QNT_PUBLISHED(TForm, TWinControl)
public:
  explicit TForm(TComponent* AOwner);
  ~TForm() override;
  void BeforeDestruction() override;
  // A second form of a class read under an owner that already holds one of
  // that name gets the name with "_1", "_2" ... added.
  void SetName(const std::string& NewName) override;

  int ClientWidth() const override;
  int ClientHeight() const override;
  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
  void SetClientWidth(int Value);
  void SetClientHeight(int Value);

  TFormBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TFormBorderStyle Value);
  TFormStyle FormStyle() const { return FFormStyle; }
  void SetFormStyle(TFormStyle Value);
  // The caption's buttons (system menu, minimise, maximise, help).
  TBorderIcons BorderIcons() const { return FBorderIcons; }
  void SetBorderIcons(TBorderIcons Value);
  // What the form was designed at; kept as stated (the form is not scaled:
  // sizes are pixels).
  bool Scaled() const { return FScaled; }
  void SetScaled(bool Value) { FScaled = Value; }
  int PixelsPerInch() const { return FPixelsPerInch; }
  void SetPixelsPerInch(int Value) { FPixelsPerInch = Value; }
  int TextHeight() const { return FTextHeight; }
  void SetTextHeight(int Value) { FTextHeight = Value; }
  bool OldCreateOrder() const { return FOldCreateOrder; }
  void SetOldCreateOrder(bool Value) { FOldCreateOrder = Value; }
  TWindowState WindowState() const { return FWindowState; }
  void SetWindowState(TWindowState Value);
  TPosition Position() const { return FPosition; }
  void SetPosition(TPosition Value) { FPosition = Value; }

  TModalResult ModalResult() const { return FModalResult; }
  void SetModalResult(TModalResult Value) { FModalResult = Value; }
  bool Modal() const { return FModal; }
  // Shows the form and runs a message loop until it closes; returns its
  // ModalResult (mrCancel when the application terminated meanwhile).
  virtual TModalResult ShowModal();
  // Modal: ModalResult := mrCancel. Otherwise OnCloseQuery, OnClose and the
  // action (hide, free later, minimise); closing the main form terminates
  // the application.
  void Close();
  // Frees the form once the messages already queued have run.
  void Release();
  void SetVisible(bool Value) override;
  // A form given a parent (or a ParentWindow) becomes its child window.
  void SetParent(TWinControl* AParent) override;
  // Brings the form on top and activates it.
  void BringToFront() override;

  // The control that gets the focus when the form is shown or activated.
  TWinControl* ActiveControl() const { return FActiveControl; }
  void SetActiveControl(TWinControl* Value);
  void Notification(TComponent* AComponent, TOperation Operation) override;

  // The button that Return (Esc) reaches; nullptr when none is enabled and
  // shown.
  TButton* DefaultButton() const;
  TButton* CancelButton() const;

  TNotifyEvent OnCreate;
  TNotifyEvent OnDestroy;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;
  TCloseEvent OnClose;
  TCloseQueryEvent OnCloseQuery;

  LRESULT WndProc(UINT Msg, WPARAM WParam, LPARAM LParam) override;
  // Return (VK_RETURN) or Esc (VK_ESCAPE) pressed in this form: clicks the
  // focused button, else the default (cancel) button. True when one ran.
  bool DialogKey(WORD Key);

protected:
  // Reads the form's text form resources in order (an ancestor form's first),
  // then fires OnCreate. The most derived constructor calls it last.
  void ReadForm(std::initializer_list<std::string> ResourceNames);
  void ReadForm(const std::string& ResourceName) { ReadForm({ResourceName}); }
  virtual void DoCreate();
  virtual void DoShow();
  virtual void DoHide();
  virtual bool CloseQuery();
  virtual void DoClose(TCloseAction& Action);

  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void Activated(bool Active);

private:
  // The frame's width and height for the present styles.
  SIZE FrameSize() const;
  void SizeFromClient();
  void ApplyPosition();
  void CloseModal();
  void FocusFirst();
  TFormBorderStyle FBorderStyle = bsSizeable;
  TFormStyle FFormStyle = fsNormal;
  TBorderIcons FBorderIcons = (1u << biSystemMenu) | (1u << biMinimize) | (1u << biMaximize);
  bool FScaled = true;
  int FPixelsPerInch = 96;
  int FTextHeight = 13;
  bool FOldCreateOrder = false;
  TWindowState FWindowState = wsNormal;
  TPosition FPosition = poDesigned;
  TModalResult FModalResult = mrNone;
  bool FModal = false;
  int FClientWidth = -1, FClientHeight = -1;  // asked before the window existed
  bool FDestroyFired = false;
  bool FShownOnce = false;
  TWinControl* FActiveControl = nullptr;
  HWND FSavedFocus = nullptr;
};

// The topmost form that holds the control (a page's wizard), or nullptr.
TForm* GetParentForm(TControl* Control);
// The innermost form that holds the control (the page itself).
TForm* GetOwnFormOf(TControl* Control);

class TApplication : public TComponent {
  QNT_PUBLISHED(TApplication, TComponent)
public:
  explicit TApplication(TComponent* AOwner);
  ~TApplication() override;

  // The hidden application window: owner of the top-level forms.
  HWND Handle();
  const std::string& Title() const { return FTitle; }
  void SetTitle(const std::string& Value);

  TForm* MainForm() const { return FMainForm; }
  // Makes a form owned by the application; the first becomes MainForm.
  template <class T>
  void CreateForm(T*& Reference) {
    T* form = new T(this);
    Reference = form;
    if (!FMainForm) FMainForm = form;
  }
  void Initialize() {}
  // Shows the main form and handles messages until Terminate.
  void Run();
  // Handles one message, waiting for one when none is queued.
  void HandleMessage();
  // Handles the messages queued now.
  void ProcessMessages();
  // Sticky: every running message loop, modal ones too, ends.
  void Terminate();
  bool Terminated() const { return FTerminated; }

  TExceptionEvent OnException;
  // Inside a catch block: an EAbort is dropped, anything else goes to
  // OnException, or ShowException when none is assigned.
  void HandleException(TObject* Sender);
  void ShowException(Exception* E);
  // A message box over the active form; returns the button's ID.
  int MessageBox(const std::string& Text, const std::string& Caption, unsigned Flags = MB_OK);
  // The help file that HelpJump opens.
  const std::string& HelpFile() const { return FHelpFile; }
  void SetHelpFile(const std::string& Value) { FHelpFile = Value; }
  // Asks the WinHelp viewer to show HelpFile at the topic JumpID; false
  // without a help file or when the viewer cannot be asked.
  bool HelpJump(const std::string& JumpID);

  bool ShowMainForm = true;

  void Notification(TComponent* AComponent, TOperation Operation) override;

private:
  friend class TForm;
  bool ProcessMessage(MSG& Msg);
  HWND FHandle = nullptr;
  std::string FTitle;
  std::string FHelpFile;
  TForm* FMainForm = nullptr;
  bool FTerminated = false;
  bool FOleStarted = false;
};

// The application of this program, made when the units start (COM is
// started for this thread then too) and freed when they end.
extern TApplication* Application;

class TScreen : public TComponent {
  QNT_PUBLISHED(TScreen, TComponent)
public:
  using TComponent::TComponent;
  int Width() const { return GetSystemMetrics(SM_CXSCREEN); }
  int Height() const { return GetSystemMetrics(SM_CYSCREEN); }
  int PixelsPerInch() const;
  TCursor Cursor() const { return FCursor; }
  void SetCursor(TCursor Value);
  int FormCount() const { return static_cast<int>(FForms.size()); }
  TForm* Forms(int Index) const { return FForms.at(static_cast<size_t>(Index)); }
  TForm* ActiveForm() const { return FActiveForm; }

private:
  friend class TForm;
  std::vector<TForm*> FForms;
  TForm* FActiveForm = nullptr;
  TCursor FCursor = crDefault;
};
extern TScreen* Screen;
