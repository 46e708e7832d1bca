#include <gtest/gtest.h>

#include <windows.h>

#include "classlib/SysUtils.h"
#include "common/TestSupport.h"
#include "foundation/exceptions_Quillant.h"
#include "foundation/routines/routines_API.h"

using namespace testsupport;

TEST(SystemFolders, ReadAtStartUpWithoutTrailingBackslash) {
  ASSERT_FALSE(WindowsDir.empty());
  ASSERT_FALSE(SystemDir.empty());
  EXPECT_NE(WindowsDir.back(), '\\');
  EXPECT_TRUE(DirectoryExists(WindowsDir));
  EXPECT_TRUE(DirectoryExists(SystemDir));
  EXPECT_TRUE(SameText(SystemDir.substr(0, WindowsDir.size()), WindowsDir));
}

TEST(ShortPaths, ExistingLongNameAndVanishedFile) {
  std::string dir = ScratchDir("short");
  std::string longDir = dir + "\\A rather long folder name";
  ASSERT_TRUE(ForceDirectories(longDir));
  WriteFileText(longDir + "\\Some long file name.dll", "x");
  std::string s = GetShortPath(longDir + "\\Some long file name.dll");
  EXPECT_FALSE(s.empty());
  EXPECT_EQ(s.find(' '), std::string::npos) << s;
  EXPECT_TRUE(FileExists(s));
  // A file that is gone has no short form: the result names nothing.
  EXPECT_EQ(GetShortPath(longDir + "\\missing.dll"), "");
  EXPECT_EQ(GetShortPath(dir + "\\" + std::string(450, 'x')), "");
  RemoveTree(dir);
}

TEST(TempNames, KeepFileKeepsTheReservationFalseRemovesIt) {
  std::string kept = MakeTempFileName(true);
  std::string name = ExtractFileName(kept);
  EXPECT_TRUE(SameText(name.substr(0, 3), "bat")) << name;
  EXPECT_TRUE(SameText(ExtractFileExt(name), ".tmp"));
  EXPECT_TRUE(FileExists(kept));
  std::string gone = MakeTempFileName(false);
  EXPECT_FALSE(FileExists(gone));
  EXPECT_NE(gone, kept);
  RemoveFile(kept);
  // A file of another extension leaves no placeholder beside it, and two made
  // at once differ.
  const std::string a = MakeTempFileWithExt(".1"), b = MakeTempFileWithExt(".1");
  EXPECT_NE(a, b);
  for (const std::string& f : {a, b}) {
    EXPECT_TRUE(SameText(ExtractFileName(f).substr(0, 3), "bat")) << f;
    EXPECT_TRUE(SameText(ExtractFileExt(f), ".1")) << f;
    EXPECT_TRUE(FileExists(f));
    EXPECT_EQ(ReadFileText(f), "");
    EXPECT_FALSE(FileExists(ChangeFileExt(f, ".tmp"))) << f;
    RemoveFile(f);
  }
}

namespace {
int ReportedVerType(const std::string& version) {
  std::string dir = ScratchDir("ver");
  std::string exe = "probe_" + version + "_" + std::to_string(GetCurrentProcessId()) + ".exe";
  std::string path = CopyProgram("qnt_probe.exe", dir, exe);
  SetReportedWindowsVersion(exe, version);
  long rc = RunAndWait("\"" + path + "\" vertype \"" + dir + "\\out.txt\"");
  int result = rc == 0 ? static_cast<int>(StrToIntDef(ReadFileText(dir + "\\out.txt"), -1)) : -100 - rc;
  RemoveTree(dir);
  return result;
}
}  // namespace

TEST(WindowsVersion, ByThePlatformAndVersionTheSystemReports) {
  EXPECT_EQ(ReportedVerType("win95"), wvWin95);
  EXPECT_EQ(ReportedVerType("win98"), wvWin95);
  EXPECT_EQ(ReportedVerType("nt351"), wvWinNT351);
  EXPECT_EQ(ReportedVerType("nt40"), wvWinNT);
  EXPECT_EQ(ReportedVerType("win7"), wvWinNT);
}

TEST(CommandLine, PathsWithBlanksArriveSplitAndAreRejoined) {
  std::string dir = ScratchDir("args");
  std::string exe = CopyProgram("qnt_probe.exe", dir, "probe.exe");
  std::string out = dir + "\\args.txt";
  long rc = RunAndWait("\"" + exe + "\" args \"" + out + "\" C:\\Program Files\\My  App \"quoted part\"");
  ASSERT_EQ(rc, 0);
  auto lines = ReadLines(out);
  ASSERT_GE(lines.size(), 10u);
  EXPECT_EQ(lines[0], "6");
  EXPECT_TRUE(SameText(lines[1], exe)) << lines[1];  // ParamStr(0): the program's own path
  EXPECT_EQ(lines[2], "args");
  EXPECT_EQ(lines[4], "C:\\Program");
  EXPECT_EQ(lines[7], "quoted part");
  // Parameters from the third on, joined by single blanks.
  EXPECT_EQ(lines[8], "C:\\Program Files\\My App quoted part");
  RemoveTree(dir);
}
