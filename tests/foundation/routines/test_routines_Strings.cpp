#include <gtest/gtest.h>

#include "foundation/routines/routines_Components.h"
#include "foundation/routines/routines_Strings.h"

TEST(PathTidying, TrailingBackslashes) {
  EXPECT_EQ(DirectoryWBS(""), "");
  EXPECT_EQ(DirectoryWBS("C:\\dir"), "C:\\dir\\");
  EXPECT_EQ(DirectoryWBS("C:\\dir\\"), "C:\\dir\\");
  EXPECT_EQ(DirectoryWOBS("A:\\"), "A:");
  EXPECT_EQ(DirectoryWOBS("C:\\dir\\\\"), "C:\\dir\\");
  EXPECT_EQ(DirectoryWOBS("C:\\dir"), "C:\\dir");
  EXPECT_EQ(DirectoryWOBS(""), "");
}

TEST(DelimitedStrings, ColumnsAndFields) {
  EXPECT_EQ(srColumns("", ';'), 0);
  EXPECT_EQ(srColumns("a;b", ';'), 2);
  EXPECT_EQ(srColumns("a;b;", ';'), 2);
  EXPECT_EQ(srColumns(";", ';'), 1);
  EXPECT_EQ(srColumns("a;;b", ';'), 3);
  EXPECT_EQ(srExtract("a;b", 1, ';'), "a");
  EXPECT_EQ(srExtract("a;b", 2, ';'), "b");
  EXPECT_EQ(srExtract("a;b", 3, ';'), "");
  EXPECT_EQ(srExtract("a;b", 0, ';'), "a");
  EXPECT_EQ(srExtract("a;;c", 2, ';'), "");
  EXPECT_EQ(srExtract("a;;c", 3, ';'), "c");
  EXPECT_EQ(srExtract("a;b;", 2, ';'), "b");

  TStringList sl;
  sl.Add("stale");
  StringToStringList("", ';', &sl);
  EXPECT_EQ(sl.Count(), 0);
  StringToStringList("x;y;", ';', &sl);
  ASSERT_EQ(sl.Count(), 2);
  EXPECT_EQ(sl[1], "y");
}

TEST(DelimitedStrings, ListToStringWithAndWithoutEnding) {
  TStringList sl;
  EXPECT_EQ(StringListToString(&sl, ";", false), "");
  sl.Add("a");
  sl.Add("b");
  EXPECT_EQ(StringListToString(&sl, ";", false), "a;b");
  EXPECT_EQ(StringListToString(&sl, ";", true), "a;b;");
  // The whole separator goes, not just one character of it.
  EXPECT_EQ(StringListToString(&sl, ", ", false), "a, b");
  EXPECT_EQ(StringListToString(&sl, "", false), "ab");
}

TEST(FileNames, DriveAndIllegalCharacters) {
  EXPECT_EQ(StripDrive("C:\\dist\\files.1"), "\\dist\\files.1");
  EXPECT_EQ(StripDrive("no drive"), "no drive");
  EXPECT_EQ(StripNonFileChars("12/08/2026 10:30"), "12-08-2026 1030");
  EXPECT_EQ(StripNonFileChars("a\\b:c;d*e?f\"g<h>i|j"), "abcdefghij");
}

TEST(ComponentNaming, NextFreeNumberedName) {
  TComponent owner(nullptr);
  (new TComponent(&owner))->SetName("MainTranslator");
  (new TComponent(&owner))->SetName("MainTranslator1");
  auto* t = new TComponent(&owner);
  AssignValidName(t, "MainTranslator");
  EXPECT_EQ(t->Name(), "MainTranslator2");
  auto* u = new TComponent(&owner);
  AssignValidName(u, "Fresh");
  EXPECT_EQ(u->Name(), "Fresh");
  // A root that is no valid name ends with an error instead of looping.
  EXPECT_THROW(AssignValidName(u, "not valid"), EComponentError);
}
