// Standard controls: label, button, edit, check box.
//
// Events fire on changes made in code where the class library fires them,
// although the system sends no notification for them: setting a check box's
// Checked fires OnClick; setting an edit's Text fires OnChange (once). None
// fires while the form is being read.
#pragma once
#include "classlib/Controls.h"

enum TTextLayout { tlTop, tlCenter, tlBottom };
extern const TEnumInfo TextLayoutInfo;

// Windowless text, painted by its parent. AutoSize fits the bounds to the
// text (with WordWrap: the height, at the given width).
class TLabel : public TGraphicControl {
  QNT_PUBLISHED(TLabel, TGraphicControl)
public:
  explicit TLabel(TComponent* AOwner);
  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool Value);
  bool WordWrap() const { return FWordWrap; }
  void SetWordWrap(bool Value);
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment Value);
  TTextLayout Layout() const { return FLayout; }
  void SetLayout(TTextLayout Value);
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool Value);
  // Fits the bounds to the text now (when AutoSize is on).
  void AdjustBounds();
  void Paint(HDC DC) override;
  void Loaded() override;

protected:
  void TextChanged() override { AdjustBounds(); }
  void FontChanged() override;
  unsigned DrawFlags() const;

private:
  bool FAutoSize = true;
  bool FWordWrap = false;
  TAlignment FAlignment = taLeftJustify;
  TTextLayout FLayout = tlTop;
  bool FTransparent = false;
};

// A system button. Click sets the modal result of the form that holds it
// (the outermost one), then fires OnClick. Default makes Return reach it,
// Cancel makes Esc reach it.
class TButton : public TWinControl {
  QNT_PUBLISHED(TButton, TWinControl)
public:
  explicit TButton(TComponent* AOwner);
  bool Default() const { return FDefault; }
  void SetDefault(bool Value);
  bool Cancel() const { return FCancel; }
  void SetCancel(bool Value) { FCancel = Value; }
  TModalResult ModalResult() const { return FModalResult; }
  void SetModalResult(TModalResult Value) { FModalResult = Value; }
  void Click() override;
  bool CNCommand(WORD NotifyCode) override;

protected:
  void CreateParams(TCreateParams& Params) override;
  // The system button type: default or plain push button.
  virtual DWORD ButtonType() const { return FDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON; }

private:
  bool FDefault = false;
  bool FCancel = false;
  TModalResult FModalResult = mrNone;
};

enum TEditCharCase { ecNormal, ecUpperCase, ecLowerCase };
extern const TEnumInfo EditCharCaseInfo;

// A one-line system edit. OnChange fires for typing and for Text set in code.
class TEdit : public TWinControl {
  QNT_PUBLISHED(TEdit, TWinControl)
public:
  explicit TEdit(TComponent* AOwner);
  std::string Text() const { return GetText(); }
  void SetTextValue(const std::string& Value) { SetText(Value); }
  void SetText(const std::string& Value) override;
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool Value);
  int MaxLength() const { return FMaxLength; }
  void SetMaxLength(int Value);
  TEditCharCase CharCase() const { return FCharCase; }
  void SetCharCase(TEditCharCase Value);
  void SelectAll();
  // Puts the caret before letter Value (past the last: the end) and scrolls
  // the text so that the caret shows.
  void SetSelStart(int Value);
  TNotifyEvent OnChange;
  bool CNCommand(WORD NotifyCode) override;
  bool CNCtlColor(HDC DC, HBRUSH& Result) override;

protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateWndDone() override;
  virtual void Change();

private:
  bool FReadOnly = false;
  int FMaxLength = 0;
  TEditCharCase FCharCase = ecNormal;
};

enum TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };
extern const TEnumInfo CheckBoxStateInfo;

class TCheckBox : public TWinControl {
  QNT_PUBLISHED(TCheckBox, TWinControl)
public:
  explicit TCheckBox(TComponent* AOwner);
  bool Checked() const { return State() == cbChecked; }
  void SetChecked(bool Value) { SetState(Value ? cbChecked : cbUnchecked); }
  TCheckBoxState State() const;
  void SetState(TCheckBoxState Value);
  bool AllowGrayed() const { return FAllowGrayed; }
  void SetAllowGrayed(bool Value) { FAllowGrayed = Value; }
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment Value) { FAlignment = Value; }
  bool CNCommand(WORD NotifyCode) override;

protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateWndDone() override;

private:
  TCheckBoxState FState = cbUnchecked;
  bool FAllowGrayed = false;
  TAlignment FAlignment = taRightJustify;
};

// A string list that tells its control after every change (the items of a
// list box or radio group).
class TControlStrings : public TStringList {
public:
  explicit TControlStrings(std::function<void()> AChanged) : FChanged(std::move(AChanged)) {}
  void Put(int Index, const std::string& S) override;
  void PutObject(int Index, TObject* AObject) override;
  void Clear() override;
  void Delete(int Index) override;
  void InsertObject(int Index, const std::string& S, TObject* AObject) override;
  void Changed() {
    if (FChanged) FChanged();
  }

private:
  std::function<void()> FChanged;
};

// A frame with a caption around other controls: a container of the library's
// own class, so the notifications of the controls inside reach their objects.
class TGroupBox : public TCustomControl {
  QNT_PUBLISHED(TGroupBox, TCustomControl)
public:
  explicit TGroupBox(TComponent* AOwner);

protected:
  void AdjustClientRect(RECT& Rect) const override;
  void PaintWindow(HDC DC) override;
  void TextChanged() override;
  int CaptionHeight() const;
};

// A system list box. Sorted keeps the items in order (as the list sorts,
// ignoring case); OnClick fires when the user selects an item. Items are
// held by the object and shown by the window.
class TListBox : public TWinControl {
  QNT_PUBLISHED(TListBox, TWinControl)
public:
  explicit TListBox(TComponent* AOwner);
  ~TListBox() override;
  TStrings* Items() const { return FItems; }
  int ItemIndex() const;
  void SetItemIndex(int Value);
  bool Sorted() const { return FItems->Sorted(); }
  void SetSorted(bool Value);
  int ItemHeight() const { return FItemHeight; }
  void SetItemHeight(int Value) { FItemHeight = Value; }
  bool CNCommand(WORD NotifyCode) override;
  bool CNCtlColor(HDC DC, HBRUSH& Result) override;

protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateWndDone() override;

private:
  void Fill();
  TControlStrings* FItems;
  int FItemIndex = -1;
  int FItemHeight = 13;
};

enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };
extern const TEnumInfo ScrollStyleInfo;

// A multi-line system edit; Lines are the text's lines (CR LF apart).
class TMemo : public TEdit {
  QNT_PUBLISHED(TMemo, TEdit)
public:
  explicit TMemo(TComponent* AOwner);
  ~TMemo() override;
  TStrings* Lines() const { return FLines; }
  TScrollStyle ScrollBars() const { return FScrollBars; }
  void SetScrollBars(TScrollStyle Value);
  bool WordWrap() const { return FWordWrap; }
  void SetWordWrap(bool Value);

protected:
  void CreateParams(TCreateParams& Params) override;

private:
  class TMemoLines;
  void Recreate();
  TStrings* FLines;
  TScrollStyle FScrollBars = ssNone;
  bool FWordWrap = true;
};
