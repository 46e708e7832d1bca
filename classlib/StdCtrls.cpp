#include "classlib/StdCtrls.h"

#include "classlib/Forms.h"
#include "classlib/WinText.h"

const TEnumInfo TextLayoutInfo{"TTextLayout", {"tlTop", "tlCenter", "tlBottom"}};
const TEnumInfo EditCharCaseInfo{"TEditCharCase", {"ecNormal", "ecUpperCase", "ecLowerCase"}};
const TEnumInfo CheckBoxStateInfo{"TCheckBoxState", {"cbUnchecked", "cbChecked", "cbGrayed"}};
const TEnumInfo ScrollStyleInfo{"TScrollStyle", {"ssNone", "ssHorizontal", "ssVertical", "ssBoth"}};

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
QNT_PUBLISH(TGroupBox,
  Prop::String("Caption", &TGroupBox::Caption, &TGroupBox::SetCaption));
QNT_PUBLISH(TListBox,
  Prop::Strings("Items", &TListBox::Items),
  Prop::Integer("ItemIndex", &TListBox::ItemIndex, &TListBox::SetItemIndex, -1),
  Prop::Boolean("Sorted", &TListBox::Sorted, &TListBox::SetSorted, false),
  Prop::Integer("ItemHeight", &TListBox::ItemHeight, &TListBox::SetItemHeight, 13),
  Prop::Event("OnClick", &TListBox::OnClick, &TListBox::OnClick));
QNT_PUBLISH(TMemo,
  Prop::Strings("Lines", &TMemo::Lines),
  Prop::Enum("ScrollBars", &TMemo::ScrollBars, &TMemo::SetScrollBars, ScrollStyleInfo, ssNone),
  Prop::Boolean("WordWrap", &TMemo::WordWrap, &TMemo::SetWordWrap, true));

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
  Params.Style |= ButtonType();
}

void TButton::SetDefault(bool Value) {
  if (Value == FDefault) return;
  FDefault = Value;
  if (HandleAllocated())
    SendMessageW(Handle(), BM_SETSTYLE, ButtonType(), TRUE);
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

void TEdit::SetSelStart(int Value) {
  SendMessageW(Handle(), EM_SETSEL, Value, Value);
  SendMessageW(Handle(), EM_SCROLLCARET, 0, 0);
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

// ---------------------------------------------------------------- TControlStrings

void TControlStrings::Put(int Index, const std::string& S) {
  TStringList::Put(Index, S);
  Changed();
}

void TControlStrings::PutObject(int Index, TObject* AObject) {
  TStringList::PutObject(Index, AObject);
  Changed();
}

void TControlStrings::Clear() {
  TStringList::Clear();
  Changed();
}

void TControlStrings::Delete(int Index) {
  TStringList::Delete(Index);
  Changed();
}

void TControlStrings::InsertObject(int Index, const std::string& S, TObject* AObject) {
  TStringList::InsertObject(Index, S, AObject);
  Changed();
}

// ---------------------------------------------------------------- TGroupBox

TGroupBox::TGroupBox(TComponent* AOwner) : TCustomControl(AOwner) {
  FWidth = 185;
  FHeight = 105;
}

int TGroupBox::CaptionHeight() const {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, const_cast<TGroupBox*>(this)->FontHandle());
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return tm.tmHeight;
}

void TGroupBox::AdjustClientRect(RECT& Rect) const {
  TCustomControl::AdjustClientRect(Rect);
  Rect.top += CaptionHeight();
  InflateRect(&Rect, -2, -2);
}

void TGroupBox::TextChanged() { Invalidate(); }

void TGroupBox::PaintWindow(HDC DC) {
  TCustomControl::PaintWindow(DC);
  RECT r;
  GetClientRect(FHandle, &r);
  HGDIOBJ old = SelectObject(DC, FontHandle());
  TEXTMETRICW tm{};
  GetTextMetricsW(DC, &tm);
  r.top += tm.tmHeight / 2;
  DrawEdge(DC, &r, EDGE_ETCHED, BF_RECT);
  std::wstring t = Widen(FText);
  if (!t.empty()) {
    RECT tr{8, 0, 0, 0};
    DrawTextW(DC, t.c_str(), static_cast<int>(t.size()), &tr, DT_SINGLELINE | DT_CALCRECT);
    tr.right += 4;
    FillRect(DC, &tr, BackgroundBrush());
    SetBkMode(DC, TRANSPARENT);
    SetTextColor(DC, FEnabled ? ColorToRGB(FFont->Color()) : GetSysColor(COLOR_GRAYTEXT));
    OffsetRect(&tr, 2, 0);
    DrawTextW(DC, t.c_str(), static_cast<int>(t.size()), &tr, DT_SINGLELINE);
  }
  SelectObject(DC, old);
}

// ---------------------------------------------------------------- TListBox

TListBox::TListBox(TComponent* AOwner)
    : TWinControl(AOwner), FItems(new TControlStrings([this] { Fill(); })) {
  FWidth = 121;
  FHeight = 97;
  FTabStop = true;
  FColor = clWindow;
}

TListBox::~TListBox() {
  DestroyHandle();
  delete FItems;
}

void TListBox::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  PlainChild(Params);
  Params.WinClassName = L"LISTBOX";
  // The object keeps the order; the window shows the items as they are.
  Params.Style |= LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL;
  Params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TListBox::CreateWndDone() { Fill(); }

void TListBox::Fill() {
  if (!HandleAllocated()) return;
  int index = ItemIndex();
  SendMessageW(FHandle, WM_SETREDRAW, FALSE, 0);
  SendMessageW(FHandle, LB_RESETCONTENT, 0, 0);
  for (int i = 0; i < FItems->Count(); ++i)
    SendMessageW(FHandle, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(FItems->Get(i)).c_str()));
  SendMessageW(FHandle, LB_SETCURSEL, static_cast<WPARAM>(index < FItems->Count() ? index : -1), 0);
  SendMessageW(FHandle, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(FHandle, nullptr, TRUE);
}

int TListBox::ItemIndex() const {
  if (FHandle && !FCreating) {
    LRESULT r = SendMessageW(FHandle, LB_GETCURSEL, 0, 0);
    return r == LB_ERR ? -1 : static_cast<int>(r);
  }
  return FItemIndex;
}

void TListBox::SetItemIndex(int Value) {
  // A form states the index before the items; it holds once they are read.
  if (!Loading() && (Value < -1 || Value >= FItems->Count()))
    throw EListError(Format("List index out of bounds (%d)", {Value}));
  FItemIndex = Value;
  if (HandleAllocated()) SendMessageW(Handle(), LB_SETCURSEL, static_cast<WPARAM>(Value), 0);
}

void TListBox::SetSorted(bool Value) {
  if (Value == Sorted()) return;
  std::string selected = ItemIndex() >= 0 && ItemIndex() < FItems->Count() ? FItems->Get(ItemIndex()) : "";
  bool had = ItemIndex() >= 0;
  static_cast<TStringList*>(FItems)->SetSorted(Value);
  if (had) FItemIndex = FItems->IndexOf(selected);
  if (HandleAllocated()) {
    SendMessageW(FHandle, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    Fill();
    SendMessageW(FHandle, LB_SETCURSEL, static_cast<WPARAM>(FItemIndex), 0);
  }
}

bool TListBox::CNCommand(WORD NotifyCode) {
  if (NotifyCode != LBN_SELCHANGE) return false;
  FItemIndex = ItemIndex();
  Click();
  return true;
}

bool TListBox::CNCtlColor(HDC DC, HBRUSH& Result) {
  SetBkColor(DC, ColorToRGB(FColor));
  SetTextColor(DC, ColorToRGB(FFont->Color()));
  Result = BackgroundBrush();
  return true;
}

// ---------------------------------------------------------------- TMemo

// The lines of the memo's text: read from the window when there is one, so
// that typing shows; every change writes the whole text back.
class TMemo::TMemoLines : public TStrings {
public:
  explicit TMemoLines(TMemo* AMemo) : FMemo(AMemo) {}
  int Count() const override { return static_cast<int>(Split().size()); }
  std::string Get(int Index) const override {
    auto v = Split();
    return ListItem(v, Index);
  }
  void Put(int Index, const std::string& S) override {
    auto v = Split();
    ListItem(v, Index) = S;
    Join(v);
  }
  void Clear() override { FMemo->SetText(""); }
  void Delete(int Index) override {
    auto v = Split();
    ListItem(v, Index);
    v.erase(v.begin() + Index);
    Join(v);
  }
  void Insert(int Index, const std::string& S) override {
    auto v = Split();
    if (Index < 0 || Index > static_cast<int>(v.size()))
      throw EStringListError(Format("List index out of bounds (%d)", {Index}));
    v.insert(v.begin() + Index, S);
    Join(v);
  }
  std::string Text() const override {
    std::string t = FMemo->GetText();
    return t.empty() ? t : t + "\r\n";
  }
  void SetText(const std::string& Value) override {
    std::string t = Value;
    if (t.size() >= 2 && t.compare(t.size() - 2, 2, "\r\n") == 0) t.resize(t.size() - 2);
    else if (!t.empty() && (t.back() == '\n' || t.back() == '\r')) t.pop_back();
    FMemo->SetText(Normalise(t));
  }

private:
  // CR LF between lines, whatever the text had.
  static std::string Normalise(const std::string& T) {
    std::string out;
    for (size_t i = 0; i < T.size(); ++i) {
      if (T[i] == '\r' || T[i] == '\n') {
        out += "\r\n";
        if (T[i] == '\r' && i + 1 < T.size() && T[i + 1] == '\n') ++i;
      } else {
        out += T[i];
      }
    }
    return out;
  }
  std::vector<std::string> Split() const {
    std::vector<std::string> v;
    std::string t = FMemo->GetText();
    if (t.empty()) return v;
    size_t start = 0;
    for (;;) {
      size_t p = t.find("\r\n", start);
      if (p == std::string::npos) {
        v.push_back(t.substr(start));
        break;
      }
      v.push_back(t.substr(start, p - start));
      start = p + 2;
    }
    return v;
  }
  void Join(const std::vector<std::string>& V) {
    std::string t;
    for (size_t i = 0; i < V.size(); ++i) t += (i ? "\r\n" : "") + V[i];
    FMemo->SetText(t);
  }
  TMemo* FMemo;
};

TMemo::TMemo(TComponent* AOwner) : TEdit(AOwner), FLines(new TMemoLines(this)) {
  FWidth = 185;
  FHeight = 89;
}

TMemo::~TMemo() {
  DestroyHandle();
  delete FLines;
}

void TMemo::CreateParams(TCreateParams& Params) {
  TEdit::CreateParams(Params);
  Params.Style |= ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL;
  if (FWordWrap && FScrollBars != ssHorizontal && FScrollBars != ssBoth)
    Params.Style &= ~static_cast<DWORD>(ES_AUTOHSCROLL);
  if (FScrollBars == ssVertical || FScrollBars == ssBoth) Params.Style |= WS_VSCROLL;
  if (FScrollBars == ssHorizontal || FScrollBars == ssBoth) Params.Style |= WS_HSCROLL;
}

void TMemo::Recreate() {
  if (!HandleAllocated()) return;
  FText = GetText();
  DestroyHandle();
  HandleNeeded();
}

void TMemo::SetScrollBars(TScrollStyle Value) {
  if (Value == FScrollBars) return;
  FScrollBars = Value;
  Recreate();
}

void TMemo::SetWordWrap(bool Value) {
  if (Value == FWordWrap) return;
  FWordWrap = Value;
  Recreate();
}
