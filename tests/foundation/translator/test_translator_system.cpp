#include <gtest/gtest.h>

#include "common/TestSupport.h"
#include "classlib/Streams.h"
#include "foundation/translator/cmp_TTranslator.h"

#include <windows.h>

TEST(TranslatorSystem, UserLanguageComesFromWindows) {
  unsigned id = GetUserDefaultLangID();
  EXPECT_EQ(UserDefaultLanguageId(), id);
  TTranslator t(nullptr);
  TQlntLanguage expected;
  try {
    expected = ConvertLIDToLang(GetPrimaryId(id));
  } catch (const Exception&) {
    EXPECT_EQ(t.GetDefaultLanguage(), nullptr);
    return;
  }
  EXPECT_EQ(t.GetDefaultLanguage(), t.GetLanguageObject(expected));
  EXPECT_EQ(t.GetTranslateIntoLanguageObject(), t.GetDefaultLanguage());
}

TEST(TranslatorSystem, LanguageFilesLoadWholeAndReparseOnce) {
  std::string dir = testsupport::ScratchDir("lang");
  std::string file = dir + "\\qlnxEnglish.txt";
  testsupport::WriteFileText(file, "* Buttons\r\n4;< Previous\r\nnot a line\r\n5;Next >\r\n");
  TTranslator t(nullptr);
  TLanguage* en = t.lgEnglish();
  EXPECT_THROW(en->Strings()->LoadFromFile(file), Exception);
  EXPECT_EQ(en->Strings()->Count(), 4);
  EXPECT_TRUE(en->DoUpdate);
  EXPECT_THROW(en->Strings()->LoadFromFile(dir + "\\missing.txt"), EFOpenError);
  EXPECT_TRUE(en->DoUpdate);

  testsupport::WriteFileText(file, "4;< Previous\r\n5;Next >\r\n");
  en->Strings()->LoadFromFile(file);
  EXPECT_EQ(en->LangStringCount(), 2);
  en->Strings()->SaveToFile(file + ".copy");
  EXPECT_EQ(testsupport::ReadFileText(file + ".copy"), "4;< Previous\r\n5;Next >\r\n");
  testsupport::RemoveTree(dir);
}
