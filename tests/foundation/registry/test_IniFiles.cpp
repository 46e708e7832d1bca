#include <gtest/gtest.h>

#include "classlib/IniFiles.h"
#include "classlib/Streams.h"
#include "common/TestSupport.h"
#include "foundation/routines/routines_INIFiles.h"

using namespace testsupport;

TEST(TIniFile, SectionsValuesAndErasing) {
  std::string dir = ScratchDir("ini");
  std::string file = dir + "\\test.ini";
  WriteFileText(file, "[One]\r\na=1\r\nb= two \r\n[Two]\r\nc=3\r\n");
  {
    TIniFile ini(file);
    TStringList sl;
    ini.ReadSections(&sl);
    ASSERT_EQ(sl.Count(), 2);
    EXPECT_EQ(sl[0], "One");
    EXPECT_EQ(sl[1], "Two");
    ini.ReadSection("One", &sl);
    ASSERT_EQ(sl.Count(), 2);
    EXPECT_EQ(sl[1], "b");
    ini.ReadSectionValues("One", &sl);
    EXPECT_EQ(sl.Text(), "a=1\r\nb=two\r\n");
    EXPECT_EQ(ini.ReadString("One", "b", "x"), "two");
    EXPECT_EQ(ini.ReadString("One", "missing", "x"), "x");
    EXPECT_EQ(ini.ReadInteger("Two", "c", 0), 3);
    EXPECT_EQ(ini.ReadInteger("One", "b", -1), -1);
    ini.WriteString("Three", "d", std::string(5000, 'y'));
    EXPECT_EQ(ini.ReadString("Three", "d", "").size(), 5000u);
    ini.EraseSection("One");
    EXPECT_FALSE(ini.SectionExists("One"));
    EXPECT_TRUE(ini.SectionExists("two"));
    EXPECT_TRUE(ini.ValueExists("Two", "c"));
    ini.DeleteKey("Two", "c");
    EXPECT_FALSE(ini.ValueExists("Two", "c"));
    ini.UpdateFile();
  }
  std::string text = ReadFileText(file);
  EXPECT_EQ(text.find("[One]"), std::string::npos) << text;
  EXPECT_NE(text.find("[Three]"), std::string::npos) << text;
  RemoveTree(dir);
}

TEST(GetINISections, BracketLinesTrimmedAndCut) {
  std::string dir = ScratchDir("sec");
  std::string file = dir + "\\s.ini";
  WriteFileText(file,
                "; comment\r\n[First]\r\nkey=[value]\r\n  [Indented]  \r\n[\r\n [ \r\n[NoClose\r\n[]\r\n"
                "[Repository Pages]\n[Last]");
  TStringList sl;
  sl.Add("stale");
  GetINISections(file, &sl);
  // A bare "[" is no section; "[NoClose" loses its last character all the same.
  ASSERT_EQ(sl.Count(), 6) << sl.Text();
  EXPECT_EQ(sl[0], "First");
  EXPECT_EQ(sl[1], "Indented");
  EXPECT_EQ(sl[2], "NoClos");
  EXPECT_EQ(sl[3], "");
  EXPECT_EQ(sl[4], "Repository Pages");
  EXPECT_EQ(sl[5], "Last");
  GetINISections(file, nullptr);  // nothing to fill: nothing happens
  EXPECT_THROW(GetINISections(dir + "\\missing.ini", &sl), EFOpenError);
  RemoveTree(dir);
}
