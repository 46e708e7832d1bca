#include "classlib/StdCtrls.h"

#include "classlib/Forms.h"
#include "classlib/WinText.h"

const TEnumInfo TextLayoutInfo{"TTextLayout", {"tlTop", "tlCenter", "tlBottom"}};
const TEnumInfo EditCharCaseInfo{"TEditCharCase", {"ecNormal", "ecUpperCase", "ecLowerCase"}};
const TEnumInfo CheckBoxStateInfo{"TCheckBoxState", {"cbUnchecked", "cbChecked", "cbGrayed"}};

QNT_PUBLISH(TLabel,
  Prop::String("Caption", &TLabel::Caption, &TLabel::SetCaption),
  Prop::Boolean("AutoSize", &TLabel::AutoSize, &TLabel::SetAutoSize, true),
  Prop::Boolean("WordWrap", &TLabel::WordWrap, &TLabel::SetWordWrap, false),
  Prop::Enum("Alignment", &TLabel::Alignment, &TLabel::SetAlignment, AlignmentInfo, taLeftJustify),
  Prop::Enum("Layout", &TLabel::Layout, &TLabel::SetLayout, TextLayoutInfo, tlTop),
  Prop::Boolean("Transparent", &TLabel::Transparent, &TLabel::SetTransparent, false),
  Prop::Event("OnClick", &TLabel::OnClick, &TLabel::OnClick));
QNT_PUBLISH(TButton,
  Prop::String("Caption", &TButton::Caption, &TButton::SetCaption),
  Prop::Boolean("Default", &TButton::Default, &TButton::SetDefault, false),
  Prop::Boolean("Cancel", &TButton::Cancel, &TButton::SetCancel, false),
  Prop::Integer("ModalResult", &TButton::ModalResult, &TButton::SetModalResult, mrNone, &ModalResultIdents),
  Prop::Event("OnClick", &TButton::OnClick, &TButton::OnClick));
QNT_PUBLISH(TEdit,
  Prop::String("Text", &TEdit::Text, &TEdit::SetTextValue),
  Prop::Boolean("ReadOnly", &TEdit::ReadOnly, &TEdit::SetReadOnly, false),
  Prop::Integer("MaxLength", &TEdit::MaxLength, &TEdit::SetMaxLength, 0),
  Prop::Enum("CharCase", &TEdit::CharCase, &TEdit::SetCharCase, EditCharCaseInfo, ecNormal),
  Prop::Event("OnChange", &TEdit::OnChange, &TEdit::OnChange));
QNT_PUBLISH(TCheckBox,
  Prop::String("Caption", &TCheckBox::Caption, &TCheckBox::SetCaption),
  Prop::Boolean("Checked", &TCheckBox::Checked, &TCheckBox::SetChecked, false),
  Prop::Enum("State", &TCheckBox::State, &TCheckBox::SetState, CheckBoxStateInfo, cbUnchecked),
  Prop::Boolean("AllowGrayed", &TCheckBox::AllowGrayed, &TCheckBox::SetAllowGrayed, false),
  Prop::Enum("Alignment", &TCheckBox::Alignment, &TCheckBox::SetAlignment, AlignmentInfo, taRightJustify),
  Prop::Event("OnClick", &TCheckBox::OnClick, &TCheckBox::OnClick));

namespace {
// System controls are plain children: no control-parent or clipping styles.
void PlainChild(TCreateParams& P) {
  P.ExStyle &= ~static_cast<DWORD>(WS_EX_CONTROLPARENT);
  P.Style &= ~static_cast<DWORD>(WS_CLIPCHILDREN);
}
}  // namespace

// ---------------------------------------------------------------- TLabel

TLabel::TLabel(TComponent* AOwner) : TGraphicControl(AOwner) {
  FWidth = 65;
  FHeight = 17;
}

void TLabel::SetAutoSize(bool Value) {
  if (Value == FAutoSize) return;
  FAutoSize = Value;
  AdjustBounds();
}

void TLabel::SetWordWrap(bool Value) {
  if (Value == FWordWrap) return;
  FWordWrap = Value;
  AdjustBounds();
  Invalidate();
}

void TLabel::SetAlignment(TAlignment Value) {
  FAlignment = Value;
  Invalidate();
}

void TLabel::SetLayout(TTextLayout Value) {
  FLayout = Value;
  Invalidate();
}

void TLabel::SetTransparent(bool Value) {
  FTransparent = Value;
  Invalidate();
}

unsigned TLabel::DrawFlags() const {
  unsigned f = DT_EXPANDTABS | DT_NOCLIP;
  f |= FWordWrap ? DT_WORDBREAK : 0;
  f |= FAlignment == taCenter ? DT_CENTER : FAlignment == taRightJustify ? DT_RIGHT : DT_LEFT;
  return f;
}

void TLabel::AdjustBounds() {
  if (!FAutoSize || Loading()) return;
  std::wstring text = Widen(FText);
  if (text.empty()) text = L" ";
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, FontHandle());
  RECT r{0, 0, FWordWrap ? FWidth : 0, 0};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DrawFlags() | DT_CALCRECT);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  int w = FWordWrap ? FWidth : r.right;
  int left = FLeft;
  if (!FWordWrap && FAlignment == taRightJustify) left = FLeft + FWidth - w;
  SetBounds(left, FTop, w, r.bottom);
}

void TLabel::FontChanged() {
  TGraphicControl::FontChanged();
  AdjustBounds();
}

void TLabel::Loaded() {
  TGraphicControl::Loaded();
  AdjustBounds();
}

void TLabel::Paint(HDC DC) {
  RECT r{0, 0, FWidth, FHeight};
  if (!FTransparent) {
    HBRUSH b = CreateSolidBrush(ColorToRGB(FColor));
    FillRect(DC, &r, b);
    DeleteObject(b);
  }
  SetBkMode(DC, TRANSPARENT);
  HGDIOBJ old = SelectObject(DC, FontHandle());
  std::wstring text = Widen(FText);
  if (FLayout != tlTop) {
    RECT calc = r;
    DrawTextW(DC, text.c_str(), static_cast<int>(text.size()), &calc, DrawFlags() | DT_CALCRECT);
    int h = calc.bottom - calc.top;
    int offset = FLayout == tlCenter ? (FHeight - h) / 2 : FHeight - h;
    OffsetRect(&r, 0, offset);
  }
  if (!FEnabled) {
    OffsetRect(&r, 1, 1);
    SetTextColor(DC, GetSysColor(COLOR_BTNHIGHLIGHT));
    DrawTextW(DC, text.c_str(), static_cast<int>(text.size()), &r, DrawFlags());
    OffsetRect(&r, -1, -1);
    SetTextColor(DC, GetSysColor(COLOR_GRAYTEXT));
  } else {
    SetTextColor(DC, ColorToRGB(FFont->Color()));
  }
  DrawTextW(DC, text.c_str(), static_cast<int>(text.size()), &r, DrawFlags());
  SelectObject(DC, old);
}

// ---------------------------------------------------------------- TButton

TButton::TButton(TComponent* AOwner) : TWinControl(AOwner) {
  FWidth = 75;
  FHeight = 25;
  FTabStop = true;
}

void TButton::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  PlainChild(Params);
  Params.WinClassName = L"BUTTON";
  Params.Style |= FDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
}

void TButton::SetDefault(bool Value) {
  if (Value == FDefault) return;
  FDefault = Value;
  if (HandleAllocated())
    SendMessageW(Handle(), BM_SETSTYLE, Value ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

void TButton::Click() {
  // The modal result goes to the outermost form first, so that a handler
  // can still change it.
  if (TForm* f = GetParentForm(this)) f->SetModalResult(FModalResult);
  TWinControl::Click();
}

bool TButton::CNCommand(WORD NotifyCode) {
  if (NotifyCode != BN_CLICKED) return false;
  Click();
  return true;
}

// ---------------------------------------------------------------- TEdit

TEdit::TEdit(TComponent* AOwner) : TWinControl(AOwner) {
  FWidth = 121;
  FHeight = 21;
  FTabStop = true;
  FColor = clWindow;
}

void TEdit::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  PlainChild(Params);
  Params.WinClassName = L"EDIT";
  Params.Style |= ES_AUTOHSCROLL;
  Params.ExStyle |= WS_EX_CLIENTEDGE;
  if (FReadOnly) Params.Style |= ES_READONLY;
  if (FCharCase == ecUpperCase) Params.Style |= ES_UPPERCASE;
  if (FCharCase == ecLowerCase) Params.Style |= ES_LOWERCASE;
}

void TEdit::SetText(const std::string& Value) {
  if (HandleAllocated()) {
    // The system reports the change (EN_CHANGE), once.
    TWinControl::SetText(Value);
    if (FMaxLength > 0) SendMessageW(Handle(), EM_LIMITTEXT, static_cast<WPARAM>(FMaxLength), 0);
    return;
  }
  std::string v = Value;
  if (FCharCase == ecUpperCase) v = UpperCase(v);
  if (FCharCase == ecLowerCase) v = LowerCase(v);
  if (v == FText) return;
  FText = v;
  Change();
}

void TEdit::CreateWndDone() {
  if (FMaxLength > 0) SendMessageW(FHandle, EM_LIMITTEXT, static_cast<WPARAM>(FMaxLength), 0);
}

void TEdit::SetReadOnly(bool Value) {
  FReadOnly = Value;
  if (HandleAllocated()) SendMessageW(Handle(), EM_SETREADONLY, Value, 0);
}

void TEdit::SetMaxLength(int Value) {
  FMaxLength = Value;
  if (HandleAllocated()) SendMessageW(Handle(), EM_LIMITTEXT, static_cast<WPARAM>(Value), 0);
}

void TEdit::SetCharCase(TEditCharCase Value) {
  if (Value == FCharCase) return;
  FCharCase = Value;
  if (HandleAllocated()) {
    LONG_PTR s = GetWindowLongPtrW(Handle(), GWL_STYLE) & ~static_cast<LONG_PTR>(ES_UPPERCASE | ES_LOWERCASE);
    if (Value == ecUpperCase) s |= ES_UPPERCASE;
    if (Value == ecLowerCase) s |= ES_LOWERCASE;
    SetWindowLongPtrW(Handle(), GWL_STYLE, s);
    SetText(GetText());
  } else {
    SetText(FText);
  }
}

void TEdit::SelectAll() {
  if (HandleAllocated()) SendMessageW(Handle(), EM_SETSEL, 0, -1);
}

void TEdit::Change() {
  if (OnChange && !Loading()) OnChange(this);
}

bool TEdit::CNCommand(WORD NotifyCode) {
  if (NotifyCode != EN_CHANGE) return false;
  FText = GetText();
  Change();
  return true;
}

bool TEdit::CNCtlColor(HDC DC, HBRUSH& Result) {
  SetBkColor(DC, ColorToRGB(FColor));
  SetTextColor(DC, ColorToRGB(FFont->Color()));
  Result = BackgroundBrush();
  return true;
}

// ---------------------------------------------------------------- TCheckBox

TCheckBox::TCheckBox(TComponent* AOwner) : TWinControl(AOwner) {
  FWidth = 97;
  FHeight = 17;
  FTabStop = true;
}

void TCheckBox::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  PlainChild(Params);
  Params.WinClassName = L"BUTTON";
  Params.Style |= FAllowGrayed ? BS_AUTO3STATE : BS_AUTOCHECKBOX;
  if (FAlignment == taLeftJustify) Params.Style |= BS_LEFTTEXT;
}

TCheckBoxState TCheckBox::State() const {
  if (FHandle) {
    LRESULT s = SendMessageW(FHandle, BM_GETCHECK, 0, 0);
    return s == BST_CHECKED ? cbChecked : s == BST_INDETERMINATE ? cbGrayed : cbUnchecked;
  }
  return FState;
}

void TCheckBox::SetState(TCheckBoxState Value) {
  if (Value == State() && Value == FState) return;
  FState = Value;
  if (HandleAllocated())
    SendMessageW(Handle(), BM_SETCHECK,
                 Value == cbChecked ? BST_CHECKED : Value == cbGrayed ? BST_INDETERMINATE : BST_UNCHECKED, 0);
  // The system reports no change made in code; the class library does.
  if (!Loading()) Click();
}

void TCheckBox::CreateWndDone() {
  SendMessageW(FHandle, BM_SETCHECK,
               FState == cbChecked ? BST_CHECKED : FState == cbGrayed ? BST_INDETERMINATE : BST_UNCHECKED, 0);
}

bool TCheckBox::CNCommand(WORD NotifyCode) {
  if (NotifyCode != BN_CLICKED) return false;
  FState = State();
  Click();
  return true;
}
