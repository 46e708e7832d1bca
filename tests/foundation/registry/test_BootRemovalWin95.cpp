// Run with Wine reporting Windows 95 to this program, in a prefix of its own.
#include <gtest/gtest.h>

#include "common/TestSupport.h"
#include "foundation/routines/routines_API.h"
#include "foundation/routines/routines_INIFiles.h"
#include "foundation/routines/routines_Strings.h"

using namespace testsupport;

namespace {
std::string WininitPath() { return DirectoryWBS(WindowsDir) + "WININIT.INI"; }

struct Scheduled {
  std::string dir, file, shortName;
};
Scheduled MakeVictim(const std::string& name) {
  Scheduled s;
  s.dir = ScratchDir("w95");
  s.file = s.dir + "\\" + name;
  WriteFileText(s.file, "x");
  s.shortName = GetShortPath(s.file);
  return s;
}
}  // namespace

TEST(RemoveFileAfterBootWin95, NoWininitMakesOneWithTheSection) {
  ASSERT_EQ(GetWindowsVerType(), wvWin95);
  RemoveFile(WininitPath());
  Scheduled v = MakeVictim("a long file name.dat");
  ASSERT_FALSE(v.shortName.empty());
  EXPECT_TRUE(RemoveFileAfterBoot(v.file));
  // WININIT.INI deletes files only: a folder is not written there.
  EXPECT_FALSE(RemoveFolderAfterBoot(v.dir));
  EXPECT_EQ(ReadFileText(WininitPath()), "[RENAME]\r\nNul=" + v.shortName + "\r\n");
  EXPECT_TRUE(FileExists(v.file));
  // The newest entry stands first.
  Scheduled w = MakeVictim("second.dat");
  RemoveFileAfterBoot(w.file);
  EXPECT_EQ(ReadFileText(WininitPath()), "[RENAME]\r\nNul=" + w.shortName + "\r\nNul=" + v.shortName + "\r\n");
  // What the next start of Windows does with it: both files go.
  EXPECT_EQ(RunAndWait("wineboot.exe -r"), 0);
  EXPECT_FALSE(FileExists(v.file));
  EXPECT_FALSE(FileExists(w.file));
  RemoveFile(WininitPath());
}

TEST(RemoveFileAfterBootWin95, LowerCaseHeaderTakesTheLineRightUnderIt) {
  WriteFileText(WininitPath(), "[other]\r\nx=y\r\n[rename]\r\nC:\\NEW.DLL=C:\\OLD.DLL\r\n[more]\r\n");
  Scheduled v = MakeVictim("gone.txt");
  RemoveFileAfterBoot(v.file);
  EXPECT_EQ(ReadFileText(WininitPath()),
            "[other]\r\nx=y\r\n[rename]\r\nNul=" + v.shortName + "\r\nC:\\NEW.DLL=C:\\OLD.DLL\r\n[more]\r\n");
  RemoveFile(WininitPath());
}

TEST(RemoveFileAfterBootWin95, OtherSectionsOnlyGetTheSectionAppended) {
  WriteFileText(WininitPath(), "[boot]\r\nshell=x\n[RENAMES]\n");
  Scheduled v = MakeVictim("third.txt");
  RemoveFileAfterBoot(v.file);
  EXPECT_EQ(ReadFileText(WininitPath()), "[boot]\r\nshell=x\r\n[RENAMES]\r\n[RENAME]\r\nNul=" + v.shortName + "\r\n");
  RemoveFile(WininitPath());
}

TEST(RemoveFileAfterBootWin95, AFileWithoutAShortNameWritesNothing) {
  RemoveFile(WininitPath());
  std::string dir = ScratchDir("w95none");
  EXPECT_FALSE(RemoveFileAfterBoot(dir + "\\not there.txt"));
  EXPECT_FALSE(FileExists(WininitPath()));
  WriteFileText(WininitPath(), "[RENAME]\r\n");
  RemoveFileAfterBoot(dir + "\\not there.txt");
  EXPECT_EQ(ReadFileText(WininitPath()), "[RENAME]\r\n");
  RemoveFile(WininitPath());
}
