// The base of the page forms and the language switch over all of them.
#include <algorithm>

#include "engine/cmp_TInstallContainer.h"

#include "classlib/Buttons.h"
#include "classlib/WinText.h"

QNT_PUBLISH(TBaseQuillantForm,
  Prop::Boolean("AutoSetFont", &TBaseQuillantForm::AutoSetFont, &TBaseQuillantForm::SetAutoSetFont, true),
  Prop::Boolean("AutoTranslate", &TBaseQuillantForm::AutoTranslate, &TBaseQuillantForm::SetAutoTranslate, true),
  Prop::Enum("TranslateIntoLanguage", &TBaseQuillantForm::TranslateIntoLanguage,
             &TBaseQuillantForm::SetTranslateIntoLanguage, QlntLanguageInfo, qlUser));

TBaseQuillantForm::TBaseQuillantForm(TComponent* AOwner) : TForm(AOwner) {
  // The font's character set is ANSI until the form is translated; a form
  // resource read afterwards may set another.
  Font()->SetCharset(0);
  if (FormList) FormList->push_back(this);
}

TBaseQuillantForm::~TBaseQuillantForm() {
  NoteFreedDuringLanguageSwitch(this);
  if (FormList) {
    auto it = std::find(FormList->begin(), FormList->end(), this);
    if (it != FormList->end()) FormList->erase(it);
  }
}

void TBaseQuillantForm::Loaded() { TForm::Loaded(); }

void TBaseQuillantForm::LanguageSwitch(TQlntLanguage /*NewLanguage*/) { Translate(); }

void TBaseQuillantForm::RefreshInformation() {}

void TBaseQuillantForm::Translate() {
  if (FAutoSetFont) {
    if (FOverrideMainTranslator)
      SetControlFontTo(FTranslateIntoLanguage, this, false, false);
    else
      SetControlFont(this, false, false);
  }
  if (FAutoTranslate) {
    if (FOverrideMainTranslator)
      FCurrentLanguage = TranslateComponentFromTo(FCurrentLanguage, FTranslateIntoLanguage, this);
    else
      FCurrentLanguage = TranslateComponent(FCurrentLanguage, this);
  }
  FitButtonsToCaptions(this);
  // The form may be gone once this returns: nothing of it is touched after.
  if (Application) Application->ProcessMessages();
}

namespace {
// The width a button's caption and picture take as the button draws them.
int CaptionWidth(TButton* Button) {
  const std::wstring text = Widen(Button->Caption());
  RECT r{0, 0, 0, 0};
  HDC dc = GetDC(Button->Handle());
  HGDIOBJ old = SelectObject(dc, Button->FontHandle());
  if (!text.empty()) DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_SINGLELINE | DT_CALCRECT);
  SelectObject(dc, old);
  ReleaseDC(Button->Handle(), dc);
  auto* bit = dynamic_cast<TBitBtn*>(Button);
  const int glyph = bit && !bit->Glyph()->Empty() ? bit->Glyph()->Width() / bit->NumGlyphs() + 4 : 0;
  return glyph + r.right;
}
}  // namespace

void FitButtonsToCaptions(TWinControl* Form) {
  constexpr int Frame = 1 + 2 + 3;  // the default button's line, the raised edge, a blank
  constexpr int Reach = 1;          // letters may reach a pixel past their measure
  constexpr int Margin = 6;         // kept from the parent's right edge
  for (int i = 0; i < Form->ControlCount(); ++i) {
    auto* w = dynamic_cast<TWinControl*>(Form->Controls(i));
    if (!w) continue;
    if (auto* b = dynamic_cast<TButton*>(w); b && !b->Caption().empty()) {
      const int need = CaptionWidth(b) + 2 * (Frame + Reach);
      const int room = Form->ClientWidth() - Margin - b->Left();
      if (need > b->Width()) b->SetWidth(std::max(b->Width(), std::min(need, room)));
    }
    FitButtonsToCaptions(w);
  }
}

namespace {
// What was freed while each switch under way (switches may nest) ran.
std::vector<std::vector<const void*>*> switchesUnderWay;

template <class T>
std::vector<T*> Snapshot(const std::vector<T*>* List) {
  return List ? *List : std::vector<T*>();
}

template <class T>
void TellEach(const std::vector<T*>& Snapshot, const std::vector<const void*>& Freed, TQlntLanguage NewLanguage) {
  for (T* item : Snapshot)
    if (std::find(Freed.begin(), Freed.end(), item) == Freed.end()) item->LanguageSwitch(NewLanguage);
}
}  // namespace

void NoteFreedDuringLanguageSwitch(const void* Object) {
  for (std::vector<const void*>* freed : switchesUnderWay) freed->push_back(Object);
}

void SwitchLanguageOfAll(TQlntLanguage NewLanguage) {
  std::vector<const void*> freed;
  switchesUnderWay.push_back(&freed);
  struct TDone {
    ~TDone() { switchesUnderWay.pop_back(); }
  } done;
  const std::vector<TInstallContainer*> comps = Snapshot(QuillantComps);
  const std::vector<TBaseQuillantForm*> forms = Snapshot(FormList);
  TellEach(comps, freed, NewLanguage);
  TellEach(forms, freed, NewLanguage);
}
