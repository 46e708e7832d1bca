// The translator's work on forms and controls: the text step and the font
// step, and their routines through the first translator.
#include <windows.h>

#include "classlib/Forms.h"
#include "classlib/SysUtils.h"
#include "classlib/WinText.h"
#include "foundation/translator/cmp_TTranslateControls.h"
#include "foundation/translator/cmp_TTranslator.h"

namespace {
// Faces of the far-eastern languages in the bytes of their own code page, as
// the fonts name themselves there.
struct FaceRow {
  TQlntLanguage Language;
  unsigned CodePage;  // 0: plain ASCII text
  const char* Bytes;
  int MinSize;
};
const FaceRow Faces[] = {
    {qlRussian, 0, "Arial", 8},
    {qlSpanish, 0, "Arial", 8},
    {qlItalian, 0, "Arial", 8},
    {qlGerman, 0, "Arial", 8},
    {qlFrench, 0, "Arial", 8},
    {qlCzech, 0, "Arial", 8},
    {qlDanish, 0, "Arial", 8},
    {qlPortugese, 0, "Arial", 8},
    {qlEnglish, 0, "Arial", 8},
    // 宋体, the face of Simplified Chinese Windows. (The traditional face
    // 新細明體 holds too few of the simplified characters, and its name cut
    // to half a character names no face at all.)
    {qlChineseSimplified, 936, "\xCB\xCE\xCC\xE5", 9},
    {qlJapanese, 932, "\x82\x6C\x82\x72\x20\x82\x6F\x83\x53\x83\x56\x83\x62\x83\x4E", 9},  // ＭＳ Ｐゴシック
    {qlKorean, 949, "\xB9\xD9\xC5\xC1", 9},                                                // 바탕
    // The texts are in Greek letters, which Arial carries in the Greek
    // character set (a symbol face that draws Greek for Latin letters would
    // turn them into nonsense).
    {qlGreek, 0, "Arial", 8},
    // Arial carries the Vietnamese letters in character set 163; below 9
    // points their stacked tone marks run together.
    {qlVietnamese, 0, "Arial", 9},
};

// Decodes Bytes from CodePage into UTF-8.
std::string Decode(unsigned CodePage, const std::string& Bytes) {
  if (CodePage == 0) return Bytes;
  const int n = MultiByteToWideChar(CodePage, 0, Bytes.data(), static_cast<int>(Bytes.size()), nullptr, 0);
  if (n <= 0) return {};
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CodePage, 0, Bytes.data(), static_cast<int>(Bytes.size()), w.data(), n);
  return Narrow(w);
}

void ApplyFont(TLanguage* Language, TControl* Control) {
  TFont* font = Control->Font();
  if (Language->FontOverride()) {
    font->Assign(Language->Font());
  } else {
    font->SetCharset(static_cast<TFontCharset>(GetAppropriateCharSet(Language->LanguageIdent())));
    TLanguageFace face = GetLanguageFace(Language->LanguageIdent());
    font->SetName(face.Name);
    if (font->Size() < face.MinSize) font->SetSize(face.MinSize);
  }
  if (auto* w = dynamic_cast<TWinControl*>(Control))
    for (int i = 0; i < w->ControlCount(); ++i) ApplyFont(Language, w->Controls(i));
}

bool IsA(const TComponent* C, std::initializer_list<const char*> Names) {
  const TClassInfo& info = C->ClassInfo();
  for (const char* n : Names)
    if (info.InheritsFrom(std::string(n))) return true;
  return false;
}

TStrings* PublishedStrings(TComponent* C, const char* Name) {
  const TPropInfo* p = C->ClassInfo().FindProp(Name);
  return p && p->Kind == pkStrings ? p->GetStrings(C) : nullptr;
}

// Puts a control back as it was when its texts are done, also when they
// failed halfway: shown again, a label's auto-size back, children realigned.
class TRestoreControl {
public:
  explicit TRestoreControl(TComponent* C) : FControl(dynamic_cast<TControl*>(C)) {
    if (!FControl) return;
    FWasVisible = FControl->Visible();
    FHide = !dynamic_cast<TForm*>(FControl);
    if (FHide) FControl->SetVisible(false);
    if ((FLabel = dynamic_cast<TLabel*>(FControl))) {
      FAutoSize = FLabel->AutoSize();
      FLabel->SetAutoSize(false);
    }
  }
  ~TRestoreControl() {
    if (!FControl) return;
    try {
      if (FLabel) FLabel->SetAutoSize(FAutoSize);
      if (FHide) FControl->SetVisible(FWasVisible);
      if (auto* w = dynamic_cast<TWinControl*>(FControl)) w->Realign();
    } catch (...) {
      // A control that cannot be put back must not hide the failure that
      // brought us here.
    }
  }
  TRestoreControl(const TRestoreControl&) = delete;
  TRestoreControl& operator=(const TRestoreControl&) = delete;

private:
  TControl* FControl;
  TLabel* FLabel = nullptr;
  bool FWasVisible = true, FHide = false, FAutoSize = false;
};

void TranslateTexts(const TTranslator& T, TQlntLanguage FromLang, TComponent* C) {
  TRestoreControl restore(C);

  bool numbered = false;
  TGlobalId glid = 0;
  if (auto* l = dynamic_cast<TTranslateLabel*>(C)) {
    numbered = true;
    glid = l->GLID();
  } else if (auto* b = dynamic_cast<TTranslateBitBtn*>(C)) {
    numbered = true;
    glid = b->GLID();
  }
  if (numbered && glid != 0) {
    if (glid > 0) {
      auto* ctl = static_cast<TControl*>(C);
      ctl->SetCaption(T.TranslateByGLID(glid, ctl->Caption()));
    }
    return;
  }

  // A memo's text is its lines, which go as one multi-line text below, never
  // as one wording.
  const bool memo = IsA(C, {"TCustomMemo", "TMemo"});
  for (const TPropInfo* p : C->ClassInfo().AllProps()) {
    if (p->Kind != pkString || p->ReadOnly || !p->SetString || SameText(p->Name, "Name")) continue;
    if (memo && SameText(p->Name, "Text")) continue;
    std::string value = p->GetString(C);
    if (Trim(value).empty()) continue;
    std::string translated = T.Translate(FromLang, value);
    if (translated != value) p->SetString(C, translated);
  }

  if (memo) {
    if (TStrings* lines = PublishedStrings(C, "Lines")) T.TranslateMemo(FromLang, lines, lines);
  } else if (IsA(C, {"TCustomListView", "TListView"})) {
    if (TStrings* columns = PublishedStrings(C, "Columns"))
      for (int i = 0; i < columns->Count(); ++i) columns->Put(i, T.Translate(FromLang, columns->Get(i)));
  } else if (IsA(C, {"TCustomListBox", "TListBox", "TCustomComboBox", "TComboBox", "TCustomRadioGroup",
                     "TRadioGroup"})) {
    if (TStrings* items = PublishedStrings(C, "Items"))
      for (int i = 0; i < items->Count(); ++i) {
        std::string item = items->Get(i);
        std::string translated = T.Translate(FromLang, item);
        if (translated != item) items->Put(i, translated);
      }
  }

  for (int i = 0; i < C->ComponentCount(); ++i) {
    TComponent* owned = C->Components(i);
    if (!dynamic_cast<TForm*>(owned)) TranslateTexts(T, FromLang, owned);
  }
}

// Sets the translator's wizard language for one step, without a change
// notice, and puts the old one back however the step ends.
class TTemporaryLanguage {
public:
  TTemporaryLanguage(TQlntLanguage& Slot, TQlntLanguage Value) : FSlot(Slot), FOld(Slot) { FSlot = Value; }
  ~TTemporaryLanguage() { FSlot = FOld; }
  TTemporaryLanguage(const TTemporaryLanguage&) = delete;
  TTemporaryLanguage& operator=(const TTemporaryLanguage&) = delete;

private:
  TQlntLanguage& FSlot;
  TQlntLanguage FOld;
};
}  // namespace

TLanguageFace GetLanguageFace(TQlntLanguage ALanguage) {
  for (const FaceRow& r : Faces)
    if (r.Language == ALanguage) return {Decode(r.CodePage, r.Bytes), r.MinSize};
  throw Exception("Unrecognized language");
}

TQlntLanguage TTranslator::TranslateComponent(TQlntLanguage FromLang, TComponent* AComponent) {
  if (!AComponent) return FromLang;
  TranslateTexts(*this, FromLang, AComponent);
  TLanguage* target = GetTranslateIntoLanguageObject();
  return target && target->Strings()->Count() > 0 ? FTranslateIntoLanguage : FromLang;
}

TQlntLanguage TTranslator::TranslateComponentFromTo(TQlntLanguage FromLang, TQlntLanguage ToLang,
                                                    TComponent* AComponent) {
  TTemporaryLanguage into(FTranslateIntoLanguage, ToLang);
  return TranslateComponent(FromLang, AComponent);
}

void TTranslator::SetControlFont(TControl* AControl, bool Force, bool /*Recurse*/) {
  if (!AControl) return;
  TLanguage* language = GetTranslateIntoLanguageObject();
  if (!language) return;
  if (language->Strings()->Count() == 0 && !Force) language = lgEnglish();
  ApplyFont(language, AControl);
}

void TTranslator::SetControlFontTo(TQlntLanguage ToLang, TControl* AControl, bool Force, bool Recurse) {
  TTemporaryLanguage into(FTranslateIntoLanguage, ToLang);
  SetControlFont(AControl, Force, Recurse);
}

void SetControlFont(TControl* AControl, bool Force, bool Recurse) {
  if (MTranslator) MTranslator->SetControlFont(AControl, Force, Recurse);
}

void SetControlFontTo(TQlntLanguage ToLang, TControl* AControl, bool Force, bool Recurse) {
  if (MTranslator) MTranslator->SetControlFontTo(ToLang, AControl, Force, Recurse);
}

TQlntLanguage TranslateComponent(TQlntLanguage FromLang, TComponent* AComponent) {
  return MTranslator ? MTranslator->TranslateComponent(FromLang, AComponent) : FromLang;
}

TQlntLanguage TranslateComponentFromTo(TQlntLanguage FromLang, TQlntLanguage ToLang, TComponent* AComponent) {
  return MTranslator ? MTranslator->TranslateComponentFromTo(FromLang, ToLang, AComponent) : FromLang;
}
