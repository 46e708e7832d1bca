#include <gtest/gtest.h>

#include <memory>

#include "classlib/FormReader.h"
#include "classlib/Streams.h"
#include "foundation/translator/cmp_TTranslator.h"

namespace {
std::string ParseError(TLanguage* lang, const std::vector<std::string>& lines) {
  lang->DoUpdate = false;
  lang->Strings()->Clear();
  for (const auto& l : lines) lang->Strings()->Add(l);
  lang->DoUpdate = true;
  try {
    lang->Update();
  } catch (const Exception& e) {
    return e.Message;
  }
  return "";
}

void SetLines(TLanguage* lang, const std::vector<std::string>& lines) {
  lang->Strings()->Clear();
  for (const auto& l : lines) lang->Strings()->Add(l);
}

unsigned Portuguese() { return 0x0816; }
unsigned German() { return 0x0407; }

// Plays a Windows user of another language for one test.
struct UserLanguage {
  explicit UserLanguage(unsigned (*source)()) : saved(UserLanguageIdSource) { UserLanguageIdSource = source; }
  ~UserLanguage() { UserLanguageIdSource = saved; }
  unsigned (*saved)();
};
}  // namespace

TEST(TranslatorLines, StringEntriesFromTheLineFormat) {
  TTranslator t(nullptr);
  TLanguage* en = t.lgEnglish();
  SetLines(en, {"* Buttons", "  4;< Previous  ", "5;Next >;the rest is ignored", "6; Cancel", "*7;a comment",
                "", "8;" + std::string(300, 'x')});
  ASSERT_EQ(en->LangStringCount(), 4);
  EXPECT_EQ(en->LangString(0)->GLID(), 4);
  EXPECT_EQ(en->LangString(0)->Text(), "< Previous");
  EXPECT_EQ(en->LangString(0)->StrIndex, 1);
  EXPECT_EQ(en->LangString(1)->Text(), "Next >");
  EXPECT_EQ((*en)[2]->Text(), " Cancel");  // blanks after the first ';' belong to the text
  EXPECT_EQ(en->FindStringByGlobalId(7), nullptr);
  EXPECT_EQ(en->LangString(3)->Text(), std::string(255, 'x'));
  EXPECT_EQ(en->LangString(3)->StrIndex, 6);
  EXPECT_EQ(en->FindStringByText("NEXT >"), en->LangString(1));
  EXPECT_EQ(en->FindStringByText("Next"), nullptr);

  // The 255-character cut counts characters, not the bytes of a UTF-8 text.
  SetLines(en, {"1;" + std::string(254, 'a') + "\xC3\xA9\xC3\xA9"});
  EXPECT_EQ(en->LangString(0)->Text(), std::string(254, 'a') + "\xC3\xA9");
  // Text that is no UTF-8 (a lead byte, then stray continuation bytes) is
  // cut by bytes.
  SetLines(en, {"1;\xC3" + std::string(300, '\x80')});
  EXPECT_EQ(en->LangString(0)->Text().size(), 255u);
}

TEST(TranslatorLines, MultiLineTextsWithCommentsAndBlankLinesInside) {
  TTranslator t(nullptr);
  TLanguage* en = t.lgEnglish();
  SetLines(en, {"1;One", "#40;whatever follows", "  first line ", "* a comment inside", "", "#not a marker",
                "second line", "#", "2;Two", "#41", "left open at the end"});
  ASSERT_EQ(en->LangMemoCount(), 1);
  TLanguageMemo* m = en->LangMemo(0);
  EXPECT_EQ(m->GLID(), 40);
  EXPECT_EQ(m->StrIndex, 1);
  EXPECT_EQ(m->Lines()->Text(), "first line\r\n#not a marker\r\nsecond line\r\n");
  EXPECT_EQ(en->FindMemoByGlobalId(40), m);
  EXPECT_EQ(en->FindMemoByGlobalId(41), nullptr);  // dropped without an error
  ASSERT_EQ(en->LangStringCount(), 2);
  EXPECT_EQ(en->LangString(1)->StrIndex, 8);

  TStringList lines;
  lines.SetText("first line\r\n#not a marker\r\nsecond line");
  EXPECT_EQ(en->FindMemoByText(&lines), m);
  lines.Put(0, "First line");  // memos compare exactly
  EXPECT_EQ(en->FindMemoByText(&lines), nullptr);
}

TEST(TranslatorLines, MalformedLinesNameTheirZeroBasedIndex) {
  TTranslator t(nullptr);
  TLanguage* en = t.lgEnglish();
  EXPECT_EQ(ParseError(en, {"1;a", "", "7;"}),
            "The 2'th string (7;) does not have the proper format of GLID;Text");
  EXPECT_EQ(ParseError(en, {"7;   "}), "The 0'th string (7;) does not have the proper format of GLID;Text");
  EXPECT_EQ(ParseError(en, {"1;a", "8"}), "The 1'th string (8) does not have the proper format of GLID;Text");
  EXPECT_EQ(ParseError(en, {";text"}), "The 0'th string (;text) does not have the proper format of GLID;Text");
  EXPECT_EQ(ParseError(en, {"1;a", "x1;text"}),
            "The 1'th string (x1;text) does not have the proper format of GLID;Text or .GLID;");
  EXPECT_EQ(ParseError(en, {"99999999999;big"}),
            "The 0'th string (99999999999;big) does not have the proper format of GLID;Text or .GLID;");
  EXPECT_EQ(ParseError(en, {"1;a", "  #  "}), "Found the end of memo marker # at line 1. Was not in a memo however");
  EXPECT_EQ(ParseError(en, {"#;"}), "The 0'th string (#;) does not have the proper format of GLID;Text");
  EXPECT_EQ(ParseError(en, {"#4x;"}),
            "The 0'th string (#4x;) does not have the proper format of GLID;Text or .GLID;");
  // A long bad line is quoted by its first 80 characters, never cut inside one.
  const std::string x80(80, 'x'), tail = ") does not have the proper format of GLID;Text or .GLID;";
  std::string e80;
  for (int i = 0; i < 80; ++i) e80 += "\xC3\xA9";
  EXPECT_EQ(ParseError(en, {x80}), "The 0'th string (" + x80 + tail);
  EXPECT_EQ(ParseError(en, {x80 + std::string(1 << 20, 'x')}), "The 0'th string (" + x80 + "\xE2\x80\xA6" + tail);
  EXPECT_EQ(ParseError(en, {"1;a", "7" + e80}), "The 1'th string (7" + e80.substr(0, 158) + "\xE2\x80\xA6" + tail);

  // The bad line stays, and the language has no entries at all.
  ParseError(en, {"1;a", "2;b", "bad"});
  EXPECT_EQ(en->Strings()->Count(), 3);
  EXPECT_EQ(en->LangStringCount(), 0);
  EXPECT_EQ(en->LangMemoCount(), 0);

  // Every edit reparses: an added bad line raises, and is kept.
  SetLines(en, {"1;a"});
  EXPECT_THROW(en->Strings()->Add("oops"), Exception);
  EXPECT_EQ(en->Strings()->Count(), 2);
}

TEST(TranslatorLines, EditsReparseExceptDeleteWhichShiftsStringIndexes) {
  TTranslator t(nullptr);
  TLanguage* en = t.lgEnglish();
  SetLines(en, {"1;a", "#3", "memo", "#", "2;b", "4;c"});
  en->Strings()->Delete(0);
  // No reparse: later string entries move up; the memo keeps its index; the
  // deleted line no longer translates.
  EXPECT_EQ(en->FindStringByGlobalId(1), nullptr);
  EXPECT_EQ(en->LangStringCount(), 2);
  EXPECT_EQ(en->FindStringByGlobalId(2)->StrIndex, 3);
  EXPECT_EQ(en->FindStringByGlobalId(4)->StrIndex, 4);
  EXPECT_EQ(en->FindMemoByGlobalId(3)->StrIndex, 1);

  en->Strings()->Insert(0, "9;nine");
  EXPECT_EQ(en->FindStringByGlobalId(9)->StrIndex, 0);
  EXPECT_EQ(en->FindMemoByGlobalId(3)->StrIndex, 1);
  EXPECT_EQ(en->FindStringByGlobalId(1), nullptr);  // the reparse dropped the deleted line
  en->Strings()->Move(0, 5);
  EXPECT_EQ(en->FindStringByGlobalId(9)->StrIndex, 5);

  // Assign and the stream loads copy everything, then reparse once.
  TStringList src;
  src.Add("1;one");
  src.Add("bad line");
  src.Add("3;three");
  EXPECT_THROW(en->Strings()->Assign(&src), Exception);
  EXPECT_EQ(en->Strings()->Count(), 3);
  EXPECT_TRUE(en->DoUpdate);
  TMemoryStream ms;
  std::string text = "\xEF\xBB\xBF" "1;one\r\nbad\r\n3;three\r\n";
  ms.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
  ms.SetPosition(0);
  EXPECT_THROW(en->Strings()->LoadFromStream(&ms), Exception);
  EXPECT_EQ(en->Strings()->Count(), 3);
  en->Strings()->Delete(1);
  en->Update();
  EXPECT_EQ(en->FindStringByGlobalId(3)->Text(), "three");

  // While DoUpdate is off nothing is parsed.
  en->DoUpdate = false;
  en->Strings()->Add("5;five");
  EXPECT_EQ(en->FindStringByGlobalId(5), nullptr);
  en->DoUpdate = true;
  en->Update();
  EXPECT_NE(en->FindStringByGlobalId(5), nullptr);
}

TEST(Translator, LanguagesTranslationAndTSE) {
  ASSERT_EQ(MTranslator, nullptr);
  EXPECT_EQ(TSE("Next >"), "Next >");
  {
    auto t = std::make_unique<TTranslator>(nullptr);
    TTranslator second(nullptr);
    EXPECT_EQ(MTranslator, t.get());  // the first one created
    ASSERT_EQ(t->LanguageCount(), 15);
    EXPECT_EQ(t->Language(9)->LanguageIdent(), qlJapanese);
    EXPECT_EQ(t->Language(14)->GetName(), "Vietnamese");
    EXPECT_EQ(t->Language(0)->DefaultLanguageFile, "qlnxChineseSimplified.txt");
    EXPECT_EQ(t->Language(0)->DefaultFlagResource, "BM_LANG_SIMPCHINESE");
    EXPECT_EQ(t->GetLanguageObject(qlUser), nullptr);
    EXPECT_EQ(t->TranslateIntoLanguage(), qlUser);
    EXPECT_EQ(PropsDifferingFromDefaults(t.get()), std::vector<std::string>{});

    SetLines(t->lgEnglish(), {"5;Next >", "45;Please insert disk number %d", "6;Cancel", "#30", "a", "b", "#"});
    SetLines(t->lgGerman(), {"5;Weiter >", "45;Bitte Diskette %d einlegen", "#30", "x", "#"});
    int changed = 0;
    t->SetTranslateLanguageChanged([&](TObject* s) { changed += s == t.get(); });
    t->SetTranslateIntoLanguage(qlGerman);
    EXPECT_EQ(changed, 1);

    EXPECT_EQ(TSE("NEXT >"), "Weiter >");
    EXPECT_EQ(TSE("Cancel"), "Cancel");  // no such number in German
    EXPECT_EQ(TSE("Unknown"), "Unknown");
    IEInstall e("Please insert disk number %d", {3});
    EXPECT_EQ(e.Message, "Bitte Diskette 3 einlegen");
    EXPECT_EQ(t->TranslateByGLID(45, "x"), "Bitte Diskette %d einlegen");

    TStringList src, dst;
    src.Add("a");
    src.Add("b");
    t->TranslateMemo(qlEnglish, &src, &dst);
    EXPECT_EQ(dst.Text(), "x\r\n");
    src.Add("c");
    t->TranslateMemo(qlEnglish, &src, &dst);
    EXPECT_EQ(dst.Text(), src.Text());

    t->SetTranslateIntoLanguage(qlHebrew);  // a language without lines
    EXPECT_EQ(TSE("Next >"), "Next >");
  }
  EXPECT_EQ(MTranslator, nullptr);
  EXPECT_EQ(TSE("Next >"), "Next >");
}

TEST(Translator, WindowsUserLanguage) {
  EXPECT_EQ(GetPrimaryId(0x0816), 0x16u);
  EXPECT_EQ(ConvertLIDToLang(0x11), qlJapanese);
  EXPECT_EQ(ConvertLIDToLang(0x2A), qlVietnamese);
  try {
    ConvertLIDToLang(0x16);
    ADD_FAILURE();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message, "Unrecognized language");
  }
  EXPECT_EQ(LangIdToString(qlPortugese), "Portugese");

  TTranslator t(nullptr);
  SetLines(t.lgEnglish(), {"5;Next >"});
  SetLines(t.lgGerman(), {"5;Weiter >"});
  SetLines(t.lgPortugese(), {"5;Seguinte >"});
  {
    UserLanguage pt(Portuguese);
    EXPECT_EQ(t.GetDefaultLanguage(), nullptr);
    EXPECT_EQ(LangIdToString(qlUser), "");
    EXPECT_EQ(t.Translate(qlEnglish, "Next >"), "Next >");
    EXPECT_EQ(t.Translate(qlUser, "Weiter >"), "Weiter >");
  }
  {
    UserLanguage de(German);
    EXPECT_EQ(t.GetDefaultLanguage(), t.lgGerman());
    EXPECT_EQ(LangIdToString(qlUser), "German");
    EXPECT_EQ(t.Translate(qlEnglish, "next >"), "Weiter >");
    t.SetTranslateIntoLanguage(qlPortugese);
    EXPECT_EQ(t.Translate(qlUser, "Weiter >"), "Seguinte >");
  }
}

// Streamed in, a language's lines are parsed once, when the list is whole,
// and a bad line stops the loading as it always did.
TEST(Translator, StreamedWithTheModuleAndParsedOnce) {
  const std::string text =
      "object IM: TDataModule\n"
      "  object MainTranslator: TTranslator\n"
      "    lgEnglish.Font.Charset = SHIFTJIS_CHARSET\n"
      "    lgEnglish.Font.Height = -12\n"
      "    lgEnglish.Strings.Strings = (\n"
      "      '* Buttons'\n"
      "      '4;< Previous'\n"
      "      '5;Next >')\n"
      "    lgGerman.Strings.Strings = (\n"
      "      '4;< Zur'#252'ck')\n"
      "    TranslateIntoLanguage = qlGerman\n"
      "  end\n"
      "end\n";
  TDataModule m(nullptr);
  ReadComponentText(&m, text, "TIM");
  auto* t = dynamic_cast<TTranslator*>(m.FindComponent("MainTranslator"));
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->lgEnglish()->Font()->Charset(), 128);
  EXPECT_EQ(t->lgEnglish()->LangStringCount(), 2);
  EXPECT_EQ(t->lgEnglish()->ParseCount(), 1);
  EXPECT_EQ(t->lgGerman()->ParseCount(), 1);
  EXPECT_EQ(TSE("< Previous"), "< Zur\xC3\xBC" "ck");

  TDataModule bad(nullptr);
  try {
    ReadComponentText(&bad,
                      "object IM: TDataModule\n object T: TTranslator\n  lgFrench.Strings.Strings = (\n"
                      "   '1;Un'\n   'deux')\n end\nend\n",
                      "TIM");
    ADD_FAILURE();
  } catch (const EFormReadError& e) {
    EXPECT_EQ(e.Line, 3);
    EXPECT_EQ(e.ComponentName, "T");
    EXPECT_EQ(e.PropertyName, "lgFrench.Strings.Strings");
    EXPECT_EQ(e.Detail, "The 1'th string (deux) does not have the proper format of GLID;Text or .GLID;");
  }
  EXPECT_EQ(GetPropText(t, "lgKorean.LanguageIdent"), "qlKorean");
  TDataModule ro(nullptr);
  EXPECT_THROW(ReadComponentText(&ro,
                                 "object IM: TDataModule\n object T: TTranslator\n  lgFrench.LanguageIdent = qlGerman\n"
                                 " end\nend\n",
                                 "TIM"),
               EFormReadError);
}

// Assign and LoadFromFile end with DoUpdate on, whatever it was; Move with
// DoUpdate off keeps the moved line's entry, at its new place.
TEST(TranslatorLines, AssignSwitchesUpdatingOnAndMoveKeepsTheEntry) {
  TTranslator t(nullptr);
  TLanguage* en = t.lgEnglish();
  TStringList src;
  src.Add("1;one");
  src.Add("2;two");
  en->DoUpdate = false;
  en->Strings()->Assign(&src);
  EXPECT_TRUE(en->DoUpdate);
  ASSERT_NE(en->FindStringByGlobalId(2), nullptr);

  SetLines(en, {"1;one", "2;two", "3;three"});
  en->DoUpdate = false;
  en->Strings()->Move(0, 2);
  ASSERT_NE(en->FindStringByGlobalId(1), nullptr);
  EXPECT_EQ(en->FindStringByGlobalId(1)->StrIndex, 2);
  EXPECT_EQ(en->FindStringByGlobalId(2)->StrIndex, 0);
  EXPECT_EQ(en->FindStringByGlobalId(3)->StrIndex, 1);
  en->DoUpdate = true;
}
