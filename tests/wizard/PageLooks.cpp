#include "wizard/PageLooks.h"

#include <windows.h>

#include <algorithm>
#include <map>
#include <optional>
#include <vector>

#include "classlib/Buttons.h"
#include "classlib/ExtCtrls.h"
#include "classlib/StdCtrls.h"
#include "classlib/SysUtils.h"
#include "classlib/WinText.h"
#include "foundation/translator/cmp_TTranslateControls.h"
#include "foundation/translator/cmp_TTranslator.h"

namespace pagelooks {
namespace {

// The least room between a text and what stands beside it: one blank.
constexpr int Gap = 3;
// A push button's frame (the default button's black line, the raised edge)
// and the blank a text keeps from it on either side.
constexpr int ButtonInset = 1 + 2 + Gap;

// The device context of the window a text is drawn on, with the text's
// font selected, to measure with.
class TMeasure {
public:
  TMeasure(HWND Window, HFONT Font) : FWindow(Window), FDC(GetDC(Window)), FOld(SelectObject(FDC, Font)) {}
  ~TMeasure() {
    SelectObject(FDC, FOld);
    ReleaseDC(FWindow, FDC);
  }
  TMeasure(const TMeasure&) = delete;
  TMeasure& operator=(const TMeasure&) = delete;
  // The box DrawText lays Text out in with Flags (and Width when it wraps):
  // where the letters are placed from.
  RECT Box(const std::wstring& Text, UINT Flags, int Width = 0) const {
    RECT r{0, 0, Width, 0};
    if (!Text.empty()) DrawTextW(FDC, Text.c_str(), static_cast<int>(Text.size()), &r, Flags | DT_CALCRECT);
    return r;
  }
  // Where the letters' pixels fall when Text is drawn from (0, 0) as in Box:
  // they may reach past the box (Wine can draw a face wider than it
  // measures it) and blanks leave none. Empty when nothing is drawn.
  RECT Ink(const std::wstring& Text, UINT Flags, int Width = 0) const;
  std::wstring Face() const {
    wchar_t face[LF_FACESIZE] = {};
    GetTextFaceW(FDC, LF_FACESIZE, face);
    return face;
  }
  // The letters of Text that the face has no picture of.
  std::wstring Missing(const std::wstring& Text) const {
    std::vector<WORD> glyphs(Text.size());
    GetGlyphIndicesW(FDC, Text.c_str(), static_cast<int>(Text.size()), glyphs.data(), GGI_MARK_NONEXISTING_GLYPHS);
    std::wstring missing;
    for (size_t i = 0; i < Text.size(); ++i)
      if (glyphs[i] == 0xFFFF && Text[i] > L' ' && missing.find(Text[i]) == std::wstring::npos) missing += Text[i];
    return missing;
  }

private:
  HWND FWindow;
  HDC FDC;
  HGDIOBJ FOld;
};

RECT TMeasure::Ink(const std::wstring& Text, UINT Flags, int Width) const {
  const RECT box = Box(Text, Flags, Width);
  constexpr int Margin = 16;  // room for letters reaching past the box
  const int w = box.right + 2 * Margin, h = box.bottom + 2 * Margin;
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;  // rows from the top
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(FDC, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC dc = CreateCompatibleDC(FDC);
  HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
  HGDIOBJ oldFont = SelectObject(dc, GetCurrentObject(FDC, OBJ_FONT));
  RECT all{0, 0, w, h};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  SetTextColor(dc, RGB(0, 0, 0));
  SetBkMode(dc, TRANSPARENT);
  RECT at{Margin, Margin, Margin + (Width ? Width : box.right), Margin + box.bottom};
  DrawTextW(dc, Text.c_str(), static_cast<int>(Text.size()), &at, Flags | DT_NOCLIP);
  GdiFlush();
  RECT ink{w, h, 0, 0};
  const auto* px = static_cast<const uint32_t*>(bits);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if ((px[static_cast<size_t>(y) * w + x] & 0xFFFFFF) != 0xFFFFFF)
        ink = {std::min<LONG>(ink.left, x), std::min<LONG>(ink.top, y), std::max<LONG>(ink.right, x + 1),
               std::max<LONG>(ink.bottom, y + 1)};
  SelectObject(dc, oldFont);
  SelectObject(dc, oldBitmap);
  DeleteDC(dc);
  DeleteObject(bitmap);
  if (ink.right <= ink.left) return {};
  OffsetRect(&ink, -Margin, -Margin);
  return ink;
}

// A text as its control draws it. Ink is where the letters (and a button's
// picture) go, Room where they must stay, Letters where the letters alone
// go; all three in the client coordinates of the control's parent.
struct TShown {
  TControl* Control = nullptr;
  HWND Window = nullptr;  // the window it is drawn on
  std::wstring Text;  // as shown: the accelerator marks taken out
  HFONT Font = nullptr;
  RECT Ink{}, Room{}, Letters{};
  bool Black = false;  // drawn in black, so it must read as black
  std::string Flaw;    // what else is wrong with how it is drawn
};

std::wstring WithoutMarks(const std::wstring& Text);

TShown Start(TControl* C, HWND Window, const std::wstring& Text, HFONT Font) {
  TShown s;
  s.Control = C;
  s.Window = Window;
  s.Text = WithoutMarks(Text);
  s.Font = Font;
  return s;
}

std::wstring WithoutMarks(const std::wstring& Text) {
  std::wstring s;
  for (size_t i = 0; i < Text.size(); ++i)
    if (Text[i] != L'&' || (i + 1 < Text.size() && Text[i + 1] == L'&' && ++i)) s += Text[i];
  return s;
}

std::wstring TrimBlanks(const std::wstring& S, bool Front, bool Back) {
  size_t a = 0, b = S.size();
  while (Front && a < b && S[a] == L' ') ++a;
  while (Back && b > a && S[b - 1] == L' ') --b;
  return S.substr(a, b - a);
}

bool EnabledAll(TControl* C) {
  for (TControl* c = C; c; c = c->Parent())
    if (!c->Enabled()) return false;
  return true;
}

bool DrawnBlack(TControl* C) { return EnabledAll(C) && ColorToRGB(C->Font()->Color()) == RGB(0, 0, 0); }

// A label's letters: laid out by its alignment and layout, drawn where
// their pixels fall.
std::optional<TShown> LabelText(TLabel* L) {
  const std::wstring text = Widen(L->Caption());
  if (TrimBlanks(text, true, true).empty()) return std::nullopt;
  TShown s = Start(L, L->Parent()->Handle(), text, L->FontHandle());
  TMeasure m(s.Window, s.Font);
  const UINT flags = DT_EXPANDTABS | (L->WordWrap() ? DT_WORDBREAK : 0) |
                     (L->Alignment() == taRightJustify ? DT_RIGHT : L->Alignment() == taCenter ? DT_CENTER : 0);
  const int width = L->WordWrap() ? L->Width() : 0;
  const RECT box = m.Box(text, flags, width);
  RECT ink = m.Ink(text, flags, width);
  // A line that does not wrap is placed in the label by its alignment.
  const int x = L->WordWrap() || L->Alignment() == taLeftJustify ? 0
                : L->Alignment() == taRightJustify       ? L->Width() - box.right
                                                         : (L->Width() - box.right) / 2;
  const int y = L->Layout() == tlCenter ? (L->Height() - box.bottom) / 2
                : L->Layout() == tlBottom ? L->Height() - box.bottom
                                          : 0;
  OffsetRect(&ink, L->Left() + x, L->Top() + y);
  s.Ink = s.Letters = ink;
  s.Room = L->BoundsRect();
  s.Black = DrawnBlack(L);
  return s;
}

// A button's caption with its picture, centred inside the frame; a check
// box's or radio button's beside its box; a group box's on its frame.
std::optional<TShown> ButtonText(TWinControl* W) {
  const std::wstring text = Widen(W->Caption());
  if (text.empty()) return std::nullopt;
  HFONT font = reinterpret_cast<HFONT>(SendMessageW(W->Handle(), WM_GETFONT, 0, 0));
  TShown s = Start(W, W->Handle(), text, font ? font : W->FontHandle());
  TMeasure m(s.Window, s.Font);
  const RECT box = m.Box(text, DT_SINGLELINE);
  RECT ink = m.Ink(text, DT_SINGLELINE);
  const RECT b = W->BoundsRect();
  const LONG_PTR kind = GetWindowLongPtrW(W->Handle(), GWL_STYLE) & BS_TYPEMASK;
  // The system draws a disabled button's text greyed through a picture as
  // wide as it measures the text: letters reaching past that are lost.
  if (kind != BS_OWNERDRAW && !dynamic_cast<TGroupBox*>(W) && !EnabledAll(W) && ink.right > box.right)
    s.Flaw = "disabled, its letters drawn wider than the system measures them are cut";
  int glyph = 0;
  if (dynamic_cast<TGroupBox*>(W)) {
    OffsetRect(&ink, b.left + 10, b.top);
    s.Room = {b.left + 8, b.top, b.right - 8, b.bottom};
  } else if (kind == BS_PUSHBUTTON || kind == BS_DEFPUSHBUTTON || kind == BS_OWNERDRAW) {
    auto* bit = dynamic_cast<TBitBtn*>(W);
    glyph = bit && !bit->Glyph()->Empty() ? bit->Glyph()->Width() / bit->NumGlyphs() + 4 : 0;
    OffsetRect(&ink, b.left + (W->Width() - glyph - box.right) / 2 + glyph, b.top + (W->Height() - box.bottom) / 2);
    s.Room = {b.left + ButtonInset, b.top + 3, b.right - ButtonInset, b.bottom - 3};
  } else {
    OffsetRect(&ink, b.left + 13 + 4, b.top + (W->Height() - box.bottom) / 2);
    s.Room = {b.left, b.top, b.right - 1, b.bottom};
  }
  s.Letters = ink;
  s.Ink = {ink.left - glyph, ink.top, ink.right, ink.bottom};
  s.Black = EnabledAll(W) && !dynamic_cast<TGroupBox*>(W);
  return s;
}

std::optional<TShown> ShownText(TControl* C) {
  if (auto* l = dynamic_cast<TLabel*>(C)) return LabelText(l);
  auto* w = dynamic_cast<TWinControl*>(C);
  if (!w) return std::nullopt;
  wchar_t cls[32] = {};
  GetClassNameW(w->Handle(), cls, 32);
  if (std::wstring(cls) == L"Button" || dynamic_cast<TGroupBox*>(w)) return ButtonText(w);
  return std::nullopt;
}

std::string Span(const RECT& R) {
  return std::to_string(R.left) + ".." + std::to_string(R.right) + " x " + std::to_string(R.top) + ".." +
         std::to_string(R.bottom);
}

bool Inside(const RECT& A, const RECT& B) {
  return A.left >= B.left && A.right <= B.right && A.top >= B.top && A.bottom <= B.bottom;
}

// The whole text of the number a control shows, before the translator cut
// it to the length it keeps: the text between the first and the second
// semicolon of the number's line in the wizard language's list.
std::string ListedText(TGlobalId Id) {
  TLanguage* lang = MTranslator ? MTranslator->GetTranslateIntoLanguageObject() : nullptr;
  if (!lang) return {};
  const std::string number = std::to_string(Id) + ";";
  for (int i = 0; i < lang->Strings()->Count(); ++i) {
    const std::string line = Trim(lang->Strings()->Get(i));
    if (line.compare(0, number.size(), number) != 0) continue;
    const std::string rest = line.substr(number.size());
    return rest.substr(0, rest.find(';'));
  }
  return {};
}

// A numbered text shorter than its listed one: the end the translator cut.
void CutByTranslator(TControl* C, const std::string& Name, std::vector<std::string>& Out) {
  TGlobalId id = 0;
  if (auto* l = dynamic_cast<TTranslateLabel*>(C)) id = l->GLID();
  if (auto* b = dynamic_cast<TTranslateBitBtn*>(C)) id = b->GLID();
  if (id <= 0) return;
  const std::string listed = ListedText(id), shown = C->Caption();
  const auto letters = [](const std::string& T) {
    return std::count_if(T.begin(), T.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; });
  };
  if (letters(listed) > letters(shown) && letters(shown) == 255 && listed.compare(0, shown.size(), shown) == 0)
    Out.push_back(Name + ": the translator cut its text \"…" + listed.substr(shown.size()) + "\"");
}

// The face a text is drawn in holds every letter of the text.
void FaceOf(const TShown& S, const std::string& Name, std::vector<std::string>& Out) {
  TMeasure m(S.Window, S.Font);
  if (const std::wstring missing = m.Missing(S.Text); !missing.empty())
    Out.push_back(Name + ": " + Narrow(m.Face()) + " has no letter " + Narrow(missing));
}

// An edit's text from its first shown letter fits the edit's client area
// inside its margins: an edit scrolled to show the end of a long text fits.
void EditFits(TEdit* E, const std::string& Name, std::vector<std::string>& Out) {
  HWND h = E->Handle();
  if (GetWindowLongPtrW(h, GWL_STYLE) & ES_MULTILINE) return;
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(h)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(h, text.data(), static_cast<int>(text.size()))));
  if (text.empty()) return;
  const size_t first = std::min(static_cast<size_t>(SendMessageW(h, EM_GETFIRSTVISIBLELINE, 0, 0)), text.size());
  const LRESULT margins = SendMessageW(h, EM_GETMARGINS, 0, 0);
  RECT client{};
  GetClientRect(h, &client);
  HFONT font = reinterpret_cast<HFONT>(SendMessageW(h, WM_GETFONT, 0, 0));
  const int room = client.right - LOWORD(margins) - HIWORD(margins);
  if (TMeasure(h, font ? font : E->FontHandle()).Ink(text.substr(first), DT_SINGLELINE | DT_NOPREFIX).right > room)
    Out.push_back(Name + ": text wider than the box, shown from \"" + Narrow(text.substr(first, 12)) + "\"");
}

std::string NameOf(TControl* C) {
  return !C->Name().empty() ? C->Name() : C->ClassName() + " \"" + C->Caption() + "\"";
}

// Where something beside a text stands: another text's letters, or a
// control's bounds. Bevels are lines that a text may come near.
std::optional<RECT> Obstacle(TControl* C, const std::map<TControl*, TShown>& Texts) {
  if (!C->Visible() || dynamic_cast<TBevel*>(C)) return std::nullopt;
  if (auto t = Texts.find(C); t != Texts.end()) return t->second.Ink;
  if (dynamic_cast<TLabel*>(C)) return std::nullopt;  // a blank spacer
  return C->BoundsRect();
}

// A label's letters run into nothing beside them and keep a blank from it.
void Neighbours(TWinControl* Parent, const std::map<TControl*, TShown>& Texts, std::vector<std::string>& Out) {
  for (int i = 0; i < Parent->ControlCount(); ++i) {
    auto* l = dynamic_cast<TLabel*>(Parent->Controls(i));
    const auto text = Texts.find(l);
    if (!l || !l->Visible() || text == Texts.end()) continue;
    const RECT& a = text->second.Ink;
    for (int j = 0; j < Parent->ControlCount(); ++j) {
      TControl* other = Parent->Controls(j);
      const std::optional<RECT> b = other == l ? std::nullopt : Obstacle(other, Texts);
      if (!b || std::min(a.bottom, b->bottom) <= std::max(a.top, b->top)) continue;
      const int gap = a.right <= b->left ? b->left - a.right : b->right <= a.left ? a.left - b->right : -1;
      if (gap < 0)
        Out.push_back(NameOf(l) + ": runs into " + NameOf(other));
      else if (gap < Gap)
        Out.push_back(NameOf(l) + ": touches " + NameOf(other));
    }
  }
}

// The visible controls of Parent (and below): each inside its parent, its
// text inside its room in a face that holds it, whole as listed, clear of
// what stands beside it. The texts drawn black are gathered in Black.
void Misfits(TWinControl* Parent, std::vector<std::string>& Out, std::vector<TShown>& Black) {
  std::map<TControl*, TShown> texts;
  for (int i = 0; i < Parent->ControlCount(); ++i) {
    TControl* c = Parent->Controls(i);
    if (!c->Visible()) continue;
    const std::string name = NameOf(c);
    if (c->Left() < 0 || c->Top() < 0 || c->Left() + c->Width() > Parent->ClientWidth() ||
        c->Top() + c->Height() > Parent->ClientHeight())
      Out.push_back(name + ": outside " + Parent->Name());
    CutByTranslator(c, name, Out);
    if (auto* e = dynamic_cast<TEdit*>(c)) EditFits(e, name, Out);
    if (std::optional<TShown> s = ShownText(c)) {
      const std::string where = " (letters " + Span(s->Ink) + ", room " + Span(s->Room) + ")";
      if (s->Ink.left < s->Room.left || s->Ink.right > s->Room.right)
        Out.push_back(name + ": text wider than the control" + where);
      else if (!Inside(s->Ink, s->Room))
        Out.push_back(name + ": text taller than the control" + where);
      if (!s->Flaw.empty()) Out.push_back(name + ": " + s->Flaw);
      FaceOf(*s, name, Out);
      if (s->Black) Black.push_back(*s);
      texts.emplace(c, *s);
    }
    if (auto* w = dynamic_cast<TWinControl*>(c)) Misfits(w, Out, Black);
  }
  Neighbours(Parent, texts, Out);
}

// Black letters read as black in the window's picture: most of the pixels
// they darken are dark, as a face drawn without smoothing leaves them,
// not the faint grey of a smoothed face too small for it.
void ReadAsBlack(TForm* Whole, const std::vector<TShown>& Texts, std::vector<std::string>& Out) {
  const testsupport::TPicture p = testsupport::WindowPicture(Whole->Handle());
  if (p.Pixels.empty()) return;
  for (const TShown& t : Texts) {
    RECT r = t.Letters;
    MapWindowPoints(t.Control->Parent()->Handle(), Whole->Handle(), reinterpret_cast<POINT*>(&r), 2);
    int ink = 0, dark = 0;
    for (int y = std::max(0L, r.top); y < std::min<LONG>(p.Height, r.bottom); ++y)
      for (int x = std::max(0L, r.left); x < std::min<LONG>(p.Width, r.right); ++x) {
        const uint32_t v = p.Pixels[static_cast<size_t>(y) * p.Width + x];
        const int grey = (((v >> 16) & 0xFF) * 3 + ((v >> 8) & 0xFF) * 6 + (v & 0xFF)) / 10;
        ink += grey < 176;
        dark += grey < 80;
      }
    if (ink >= 8 && dark * 2 < ink)
      Out.push_back(NameOf(t.Control) + ": letters grey, not black (" + std::to_string(dark) + " of " +
                    std::to_string(ink) + " dark)");
  }
}

// Two visible controls of one window answering the same Alt key. A
// word-wrapped label is left out: it is a sentence that may name another
// control's key.
void SameKeys(TWinControl* Parent, std::map<wchar_t, std::string>& Keys, std::vector<std::string>& Out) {
  for (int i = 0; i < Parent->ControlCount(); ++i) {
    TControl* c = Parent->Controls(i);
    if (!c->Visible()) continue;
    const std::wstring text = Widen(c->Caption());
    const size_t at = text.find(L'&');
    auto* l = dynamic_cast<TLabel*>(c);
    if (at != std::wstring::npos && at + 1 < text.size() && text[at + 1] != L'&' && !(l && l->WordWrap())) {
      wchar_t key[2] = {text[at + 1], 0};
      CharLowerW(key);
      if (const auto k = Keys.find(key[0]); k != Keys.end())
        Out.push_back(NameOf(c) + ": the Alt key of " + k->second);
      else
        Keys.emplace(key[0], NameOf(c));
    }
    if (auto* w = dynamic_cast<TWinControl*>(c)) SameKeys(w, Keys, Out);
  }
}

}  // namespace

std::string Looks(TForm* Whole) {
  // Everything painted as it stands now, before the picture.
  RedrawWindow(Whole->Handle(), nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  std::vector<std::string> bad;
  std::vector<TShown> black;
  std::map<wchar_t, std::string> keys;
  Misfits(Whole, bad, black);
  SameKeys(Whole, keys, bad);
  // A wizard's page is a window inside the wizard's, not one of its
  // controls: its controls are looked at on their own, and the wizard's
  // caption is the page's.
  if (auto* wizard = dynamic_cast<TBaseFormContainer*>(Whole))
    if (TBaseInstallForm* page = wizard->CurrentPage()) {
      if (page->Left() < 0 || page->Top() < 0 || page->Left() + page->Width() > wizard->ClientWidth() ||
          page->Top() + page->Height() > wizard->ClientHeight())
        bad.push_back(page->Name() + ": outside " + wizard->Name());
      if (wizard->Caption() != page->Caption())
        bad.push_back(page->Name() + ": the window's caption \"" + wizard->Caption() + "\" is not the page's \"" +
                      page->Caption() + "\"");
      Misfits(page, bad, black);
      SameKeys(page, keys, bad);
    }
  ReadAsBlack(Whole, black, bad);
  std::string s;
  for (const std::string& b : bad) s += b + "; ";
  return s;
}

bool Settled(TForm* Page) {
  HWND h = Page->Handle();
  return !(GetWindowLongPtrW(h, GWL_STYLE) & WS_CHILD) || GetWindow(h, GW_HWNDPREV) == nullptr;
}

TWinControl* GoOn(TForm* Page) {
  for (const char* name : {"ProceedBtn", "FinishBtn", "InstallBtn"})
    if (auto* b = dynamic_cast<TWinControl*>(Page->FindComponent(name)); b && b->Visible()) return b;
  return nullptr;
}

bool ClickLanguage(TSelectLanguageForm* Page, TQlntLanguage Language) {
  TStringGrid* grid = Page->LanguageGrid;
  for (int r = 0; r < grid->RowCount(); ++r)
    for (int c = 0; c < grid->ColCount(); ++c)
      if (auto* l = dynamic_cast<TLanguage*>(grid->Objects(c, r)); l && l->LanguageIdent() == Language) {
        const RECT cell = grid->CellRect(c, r);
        PostMessageW(grid->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(cell.left + 5, cell.top + 5));
        return true;
      }
  return false;
}

}  // namespace pagelooks
