// Page forms in the wizard language: texts by number and by wording, the
// language's font read back from the windows, and the switch over every form.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <functional>

#include "classlib/ExtCtrls.h"
#include "classlib/StdCtrls.h"
#include "classlib/WinText.h"
#include "common/PageRunner.h"
#include "common/PropertyDump.h"
#include "engine/cmp_TInstallContainer.h"
#include "foundation/translator/cmp_TTranslateControls.h"

namespace {

class TLanguageForm : public TBaseQuillantForm {
  QNT_PUBLISHED(TLanguageForm, TBaseQuillantForm)
public:
  explicit TLanguageForm(TComponent* AOwner) : TBaseQuillantForm(AOwner) {
    RegisterClasses<TTranslateLabel, TTranslateBitBtn>();
    ReadForm("TLANGUAGEFORM");
  }
  template <class T = TControl>
  T* Get(const char* Name) const {
    auto* c = dynamic_cast<T*>(FindComponent(Name));
    if (!c) throw Exception(std::string("no ") + Name);
    return c;
  }
};
QNT_PUBLISH(TLanguageForm);

// A translator with the texts of three languages, the first one made, so
// that the forms' routines reach it.
struct Languages {
  TTranslator* T = new TTranslator(nullptr);
  Languages() {
    auto lines = [](TLanguage* l, std::initializer_list<const char*> texts) {
      for (const char* t : texts) l->Strings()->Add(t);
    };
    lines(T->lgEnglish(), {"4;< Previous", "5;Next >", "6;Cancel", "9;Welcome",
                           "10;This program will install the software on your computer."});
    lines(T->lgGerman(), {"4;< Zurück", "5;Weiter >", "6;Abbrechen", "9;Willkommen",
                          "10;Dieses Programm installiert die Software auf Ihrem Computer."});
    lines(T->lgJapanese(), {"4;< 戻る", "5;次へ >", "6;キャンセル", "9;ようこそ",
                            "10;このプログラムはソフトウェアをコンピューターにインストールします。"});
  }
  ~Languages() { delete T; }
  void SwitchTo(TQlntLanguage L) {
    T->SetTranslateIntoLanguage(L);
    SwitchLanguageOfAll(L);
  }
};

struct Requested {
  std::string Face;
  int Charset;
  int Height;
  bool operator==(const Requested&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Requested& r) {
  return os << r.Face << "/" << r.Charset << "/" << r.Height;
}
// The font the window was given, as its font object describes it.
Requested FontOfWindow(TWinControl* C) {
  LOGFONTW lf{};
  auto font = reinterpret_cast<HFONT>(SendMessageW(C->Handle(), WM_GETFONT, 0, 0));
  if (!font || !GetObjectW(font, sizeof lf, &lf)) return {"<none>", -1, 0};
  return {Narrow(lf.lfFaceName), lf.lfCharSet, static_cast<int>(lf.lfHeight)};
}

const char* const kJapaneseFace = "ＭＳ Ｐゴシック";

TEST(FormLanguage, SwitchedLiveEnglishGermanJapanese) {
  Languages langs;
  auto* form = new TLanguageForm(Application);
  EXPECT_EQ(form->Font()->Charset(), 0);
  auto* fixedText = new TLanguageForm(Application);  // texts stay, fonts follow
  fixedText->SetAutoTranslate(false);
  auto* german = new TLanguageForm(Application);  // German whatever the wizard says
  german->SetOverrideMainTranslator(true);
  german->SetTranslateIntoLanguage(qlGerman);
  const std::string plainDump = testsupport::DumpPublished(fixedText);
  for (TLanguageForm* f : {form, german}) f->Show();

  // Captions per target language; GLID > 0 by number (Title's own caption is
  // "Cancel"), 0 by wording, < 0 kept. The button named "Welcome" keeps its name.
  struct Text {
    const char* Control;
    const char* English;
    const char* German;
    const char* Japanese;
  } texts[] = {
      {"Title", "Welcome", "Willkommen", "ようこそ"},
      {"NextBtn", "Next >", "Weiter >", "次へ >"},
      {"ByWording", "Cancel", "Abbrechen", "キャンセル"},
      {"Kept", "Cancel", "Cancel", "Cancel"},
      {"Intro", "This program will install the software on your computer.",
       "Dieses Programm installiert die Software auf Ihrem Computer.",
       "このプログラムはソフトウェアをコンピューターにインストールします。"},
      {"Welcome", "< Previous", "< Zurück", "< 戻る"},
  };
  // Fonts: the form's own 8 points (height -11) follow the language's
  // minimum, the 12-point button keeps its size, the 7-point label grows.
  struct Step {
    TQlntLanguage Language;
    Requested Next, Big;
    int SmallNoteSize;
  } steps[] = {
      {qlEnglish, {"Arial", 0, -11}, {"Arial", 0, -16}, 8},
      {qlGerman, {"Arial", 238, -11}, {"Arial", 238, -16}, 8},
      {qlJapanese, {kJapaneseFace, 128, -12}, {kJapaneseFace, 128, -16}, 9},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(LangIdToString(s.Language));
    langs.SwitchTo(s.Language);
    EXPECT_EQ(form->CurrentLanguage(), s.Language);
    for (const Text& t : texts) {
      const char* want = s.Language == qlEnglish ? t.English : s.Language == qlGerman ? t.German : t.Japanese;
      EXPECT_EQ(form->Get(t.Control)->Caption(), want) << t.Control;
      EXPECT_EQ(german->Get(t.Control)->Caption(), t.German) << t.Control;
      EXPECT_TRUE(form->Get(t.Control)->Visible()) << t.Control;
    }
    EXPECT_EQ(form->Get("Welcome")->Name(), "Welcome");
    EXPECT_TRUE(form->Get<TLabel>("Intro")->AutoSize());
    EXPECT_EQ(FontOfWindow(form->Get<TWinControl>("NextBtn")), s.Next);
    EXPECT_EQ(FontOfWindow(form->Get<TWinControl>("Welcome")), s.Big);
    EXPECT_EQ(form->Get("SmallNote")->Font()->Size(), s.SmallNoteSize);
    EXPECT_EQ(FontOfWindow(fixedText->Get<TWinControl>("NextBtn")), s.Next);
    EXPECT_EQ(FontOfWindow(german->Get<TWinControl>("NextBtn")).Charset, 238);
  }
  // The form that keeps its texts differs from the one read in its fonts
  // (and the bounds they give), never in a text.
  EXPECT_EQ(fixedText->CurrentLanguage(), qlEnglish);
  EXPECT_EQ(german->CurrentLanguage(), qlGerman);
  TStringList before, after;
  before.SetText(plainDump);
  after.SetText(testsupport::DumpPublished(fixedText));
  ASSERT_EQ(before.Count(), after.Count());
  int fontLines = 0;
  for (int i = 0; i < before.Count(); ++i) {
    if (before[i] == after[i]) continue;
    EXPECT_EQ(after[i].find("Caption"), std::string::npos) << after[i];
    if (after[i].find("Font.") != std::string::npos) ++fontLines;
  }
  EXPECT_GT(fontLines, 0);
  for (TLanguageForm* f : {form, fixedText, german}) f->Free();
}

// Without lines the wizard language stands aside: the texts stay in the
// language they are really in, and the fonts are English.
TEST(FormLanguage, TargetWithoutLinesKeepsTheSourceLanguage) {
  Languages langs;
  auto* form = new TLanguageForm(Application);
  langs.SwitchTo(qlGerman);
  langs.SwitchTo(qlFrench);
  EXPECT_EQ(form->CurrentLanguage(), qlGerman);
  EXPECT_EQ(form->Get("ByWording")->Caption(), "Abbrechen");
  EXPECT_EQ(FontOfWindow(form->Get<TWinControl>("NextBtn")).Charset, 0);
  langs.SwitchTo(qlJapanese);
  EXPECT_EQ(form->Get("ByWording")->Caption(), "キャンセル");
  form->Free();
}

// Per language: character set, face (the far-eastern ones decoded from their
// code pages) and minimum size.
TEST(FormLanguage, CharsetFaceAndMinimumSizePerLanguage) {
  struct Row {
    TQlntLanguage Language;
    int Charset;
    const char* Face;  // nullptr: none, "Unrecognized language"
    int MinSize;
  } rows[] = {
      {qlEnglish, 0, "Arial", 8},           {qlGerman, 238, "Arial", 8},   {qlPortugese, 238, "Arial", 8},
      {qlRussian, 204, "Arial", 8},         {qlGreek, 161, "Arial", 8},    {qlVietnamese, 163, "Arial", 9},
      {qlChineseSimplified, 134, "宋体", 9}, {qlJapanese, 128, kJapaneseFace, 9}, {qlKorean, 129, "바탕", 9},
      {qlHebrew, 177, nullptr, 0},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(LangIdToString(r.Language));
    EXPECT_EQ(GetAppropriateCharSet(r.Language), r.Charset);
    if (!r.Face) {
      EXPECT_THROW(GetLanguageFace(r.Language), Exception);
      continue;
    }
    TLanguageFace face = GetLanguageFace(r.Language);
    EXPECT_EQ(face.Name, r.Face);
    EXPECT_EQ(face.MinSize, r.MinSize);
  }
  EXPECT_THROW(GetAppropriateCharSet(qlUser), Exception);
}

// A label whose text cannot be set: the text step fails on it.
class TRefusingLabel : public TLabel {
  QNT_PUBLISHED(TRefusingLabel, TLabel)
public:
  using TLabel::TLabel;
  std::string Hint() const { return "Cancel"; }
  void SetHint(const std::string&) { throw EPropertyError("refused"); }
};
QNT_PUBLISH(TRefusingLabel, Prop::String("Hint", &TRefusingLabel::Hint, &TRefusingLabel::SetHint));

TEST(FormLanguage, AFailedTextStepLeavesTheControlShownAndSized) {
  Languages langs;
  auto* form = new TLanguageForm(Application);
  auto* bad = new TRefusingLabel(form);
  bad->SetParent(form);
  EXPECT_THROW(TranslateComponentFromTo(qlEnglish, qlGerman, form), EPropertyError);
  EXPECT_TRUE(bad->Visible());
  EXPECT_TRUE(bad->AutoSize());
  EXPECT_EQ(langs.T->TranslateIntoLanguage(), qlUser) << "the wizard language is put back";
  form->Free();
}

// A form whose switch frees another and makes a new one.
class TSwitchSpy : public TBaseQuillantForm {
public:
  using TBaseQuillantForm::TBaseQuillantForm;
  std::vector<std::string>* Log = nullptr;
  std::function<void()> During;
  void LanguageSwitch(TQlntLanguage) override {
    Log->push_back(Name());
    if (During) During();
  }
};

TEST(FormLanguage, SwitchPassesOverFormsFreedMeanwhile) {
  std::vector<std::string> log;
  auto make = [&](const char* Name) {
    auto* f = new TSwitchSpy(Application);
    f->SetName(Name);
    f->Log = &log;
    return f;
  };
  TSwitchSpy* a = make("A");
  TSwitchSpy* b = make("B");
  TSwitchSpy* c = make("C");
  TSwitchSpy* d = nullptr;
  a->During = [&] {
    b->Free();
    b = nullptr;
    d = make("D");
  };
  SwitchLanguageOfAll(qlGerman);
  EXPECT_EQ(log, (std::vector<std::string>{"A", "C"}));
  a->During = nullptr;
  log.clear();
  SwitchLanguageOfAll(qlGerman);
  EXPECT_EQ(log, (std::vector<std::string>{"A", "C", "D"}));
  for (TSwitchSpy* f : {a, c, d}) f->Free();
  EXPECT_TRUE(FormList->empty());
}

// The list controls: a memo's lines as one multi-line text, the items of a
// list box and of a radio group each by its wording; what has no text in the
// source language stays as it is.
TEST(FormLanguage, MemoLinesAndListItems) {
  Languages langs;
  for (const char* l : {"#20", "Read me first.", "Then install.", "#"}) langs.T->lgEnglish()->Strings()->Add(l);
  for (const char* l : {"#20", "Zuerst lesen.", "Dann installieren.", "#"}) langs.T->lgGerman()->Strings()->Add(l);
  langs.T->SetTranslateIntoLanguage(qlGerman);
  TComponent owner(nullptr);
  auto* memo = new TMemo(&owner);
  auto* other = new TMemo(&owner);
  auto* oneWording = new TMemo(&owner);
  auto* list = new TListBox(&owner);
  auto* radio = new TRadioGroup(&owner);
  struct Row {
    TStrings* lines;
    std::vector<std::string> before, after;
  } rows[] = {
      {memo->Lines(), {"Read me first.", "Then install."}, {"Zuerst lesen.", "Dann installieren."}},
      {other->Lines(), {"Read me first."}, {"Read me first."}},  // not the whole text
      {oneWording->Lines(), {"Cancel"}, {"Cancel"}},               // a memo's text is no wording
      {list->Items(), {"Cancel", "Unknown", "Welcome"}, {"Abbrechen", "Unknown", "Willkommen"}},
      {radio->Items(), {"< Previous", "Next >"}, {"< Zurück", "Weiter >"}},
  };
  for (const Row& r : rows)
    for (const std::string& line : r.before) r.lines->Add(line);
  EXPECT_EQ(TranslateComponent(qlEnglish, &owner), qlGerman);
  for (const Row& r : rows) {
    std::vector<std::string> now;
    for (int i = 0; i < r.lines->Count(); ++i) now.push_back(r.lines->Get(i));
    EXPECT_EQ(now, r.after);
  }
}

// Not an assertion on pixels: the Japanese form for people to look at, when
// asked for by QNT_SCREENSHOT (a Unix path).
TEST(FormLanguage, Screenshot) {
  const char* shot = std::getenv("QNT_SCREENSHOT");
  if (!shot) GTEST_SKIP() << "QNT_SCREENSHOT not set";
  Languages langs;
  auto* form = new TLanguageForm(Application);
  form->Show();
  langs.SwitchTo(qlJapanese);
  form->Repaint();
  Application->ProcessMessages();
  Sleep(300);
  EXPECT_TRUE(testsupport::Screenshot(form->Handle(), shot));
  form->Free();
}

}  // namespace
