#include "wizard/PageLooks.h"

#include <windows.h>

#include <map>
#include <vector>

#include "classlib/StdCtrls.h"
#include "classlib/WinText.h"

namespace pagelooks {
namespace {

int TextWidth(HFONT Font, const std::string& Text) {
  std::wstring w;
  for (wchar_t c : Widen(Text))
    if (c != L'&') w += c;
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, Font);
  SIZE size{};
  GetTextExtentPoint32W(dc, w.c_str(), static_cast<int>(w.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return size.cx;
}

// The height of Text word-wrapped at Width.
int WrappedHeight(HFONT Font, const std::string& Text, int Width) {
  std::wstring w = Widen(Text);
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, Font);
  RECT r{0, 0, Width, 0};
  DrawTextW(dc, w.c_str(), static_cast<int>(w.size()), &r, DT_CALCRECT | DT_WORDBREAK);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return r.bottom - r.top;
}

// The visible controls of Parent (and below) whose text is wider or taller
// than they are, that reach outside their parent, or whose text runs into
// another's: "Name: why".
void Misfits(TWinControl* Parent, std::vector<std::string>& Out) {
  for (int i = 0; i < Parent->ControlCount(); ++i) {
    TControl* c = Parent->Controls(i);
    if (!c->Visible()) continue;
    const std::string name = c->Name().empty() ? c->ClassName() : c->Name();
    if (c->Left() < 0 || c->Top() < 0 || c->Left() + c->Width() > Parent->ClientWidth() ||
        c->Top() + c->Height() > Parent->ClientHeight())
      Out.push_back(name + ": outside " + Parent->Name());
    int room = -1;
    if (auto* w = dynamic_cast<TWinControl*>(c)) {
      wchar_t cls[32] = {};
      GetClassNameW(w->Handle(), cls, 32);
      const LONG_PTR kind = GetWindowLongPtrW(w->Handle(), GWL_STYLE) & BS_TYPEMASK;
      if (std::wstring(cls) == L"Button" && kind != BS_GROUPBOX)
        room = c->Width() - (kind == BS_PUSHBUTTON || kind == BS_DEFPUSHBUTTON ? 4 : 20);
    } else if (auto* l = dynamic_cast<TLabel*>(c); l && !l->WordWrap()) {
      room = c->Width();
    }
    if (room >= 0 && !c->Caption().empty() && TextWidth(c->FontHandle(), c->Caption()) > room)
      Out.push_back(name + ": text wider than the control");
    if (auto* l = dynamic_cast<TLabel*>(c);
        l && l->WordWrap() && WrappedHeight(c->FontHandle(), c->Caption(), c->Width()) > c->Height())
      Out.push_back(name + ": text taller than the control");
    if (auto* w = dynamic_cast<TWinControl*>(c)) Misfits(w, Out);
  }
  // Two texts side by side, one grown into the other.
  for (int i = 0; i < Parent->ControlCount(); ++i)
    for (int j = i + 1; j < Parent->ControlCount(); ++j) {
      auto* a = dynamic_cast<TLabel*>(Parent->Controls(i));
      auto* b = dynamic_cast<TLabel*>(Parent->Controls(j));
      if (!a || !b || !a->Visible() || !b->Visible() || a->Caption().empty() || b->Caption().empty()) continue;
      if (a->Left() < b->Left() + b->Width() && b->Left() < a->Left() + a->Width() &&
          a->Top() < b->Top() + b->Height() && b->Top() < a->Top() + a->Height())
        Out.push_back(a->Name() + ": overlaps " + b->Name());
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
      const std::string name = c->Name().empty() ? c->ClassName() : c->Name();
      if (const auto k = Keys.find(key[0]); k != Keys.end())
        Out.push_back(name + ": the Alt key of " + k->second);
      else
        Keys.emplace(key[0], name);
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
  std::map<wchar_t, std::string> keys;
  Misfits(Whole, bad);
  SameKeys(Whole, keys, bad);
  // A wizard's page is a window inside the wizard's, not one of its
  // controls: its controls are looked at on their own.
  if (auto* wizard = dynamic_cast<TBaseFormContainer*>(Whole))
    if (TBaseInstallForm* page = wizard->CurrentPage()) {
      if (page->Left() < 0 || page->Top() < 0 || page->Left() + page->Width() > wizard->ClientWidth() ||
          page->Top() + page->Height() > wizard->ClientHeight())
        bad.push_back(page->Name() + ": outside " + wizard->Name());
      Misfits(page, bad);
      SameKeys(page, keys, bad);
    }
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

}  // namespace pagelooks
