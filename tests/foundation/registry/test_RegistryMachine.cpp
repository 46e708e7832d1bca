// Run in a prefix of its own: these tests schedule work for the next start of
// Windows and change the shell folders.
#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "classlib/Registry.h"
#include "classlib/WinText.h"
#include "common/TestSupport.h"
#include "foundation/routines/routines_API.h"
#include "foundation/routines/routines_ExpandPaths.h"
#include "foundation/routines/routines_INIFiles.h"
#include "foundation/routines/routines_Registry.h"
#include "foundation/routines/routines_Strings.h"

using namespace testsupport;

namespace {
const char* const ShellFolders = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char* const CurrentVersion = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

// The strings of a REG_MULTI_SZ value, empty ones included.
std::vector<std::wstring> MultiString(HKEY root, const wchar_t* key, const wchar_t* name) {
  std::vector<std::wstring> out;
  HKEY k;
  if (RegOpenKeyExW(root, key, 0, KEY_READ, &k) != ERROR_SUCCESS) return out;
  DWORD type = 0, size = 0;
  if (RegQueryValueExW(k, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS && type == REG_MULTI_SZ) {
    std::vector<wchar_t> buf(size / sizeof(wchar_t) + 2, L'\0');
    RegQueryValueExW(k, name, nullptr, &type, reinterpret_cast<BYTE*>(buf.data()), &size);
    size_t n = size / sizeof(wchar_t);
    size_t start = 0;
    for (size_t i = 0; i < n; ++i)
      if (buf[i] == L'\0') {
        out.emplace_back(buf.data() + start, i - start);
        start = i + 1;
      }
  }
  RegCloseKey(k);
  return out;
}

void DeleteRunOnceValue(const std::string& name) {
  TRegistry reg;
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  if (reg.OpenKey(RunOnceKey, false)) reg.DeleteValue(name);
}

void SetValue(TRootKeys root, const char* key, const char* ident, const std::string* value) {
  TRegistry reg;
  SetTheRoot(&reg, root);
  ASSERT_TRUE(reg.OpenKey(key, true));
  if (value)
    reg.WriteString(ident, *value);
  else
    reg.DeleteValue(ident);
}
}  // namespace

TEST(RegisterRunOnce, ProbesForAFreeNameOrOverwrites) {
  // Harmless commands: the prefix is thrown away before it ever starts again.
  const std::string name = "QntProbeRunOnce";
  ASSERT_TRUE(RegisterRunOnce(name, "first.exe", true));
  ASSERT_TRUE(RegisterRunOnce(name, "second.exe", true));
  ASSERT_TRUE(RegisterRunOnce(name, "third.exe", true));
  std::string key = RunOnceKey;
  EXPECT_EQ(GetRVStr(hkLocalMachine, key, name, ""), "first.exe");
  EXPECT_EQ(GetRVStr(hkLocalMachine, key, name + "1", ""), "second.exe");
  EXPECT_EQ(GetRVStr(hkLocalMachine, key, name + "2", ""), "third.exe");
  // With a gap, the first free name is taken.
  DeleteRunOnceValue(name + "1");
  ASSERT_TRUE(RegisterRunOnce(name, "fourth.exe", true));
  EXPECT_EQ(GetRVStr(hkLocalMachine, key, name + "1", ""), "fourth.exe");
  // Without IdentUnique the name is taken as it is.
  ASSERT_TRUE(RegisterRunOnce(name, "fifth.exe", false));
  EXPECT_EQ(GetRVStr(hkLocalMachine, key, name, ""), "fifth.exe");
  EXPECT_EQ(GetRVStr(hkLocalMachine, key, name + "3", "none"), "none");
  for (const char* suffix : {"", "1", "2"}) DeleteRunOnceValue(name + suffix);
}

TEST(RemoveFileAfterBoot, WindowsNTSchedulesADelayedDelete) {
  ASSERT_NE(GetWindowsVerType(), wvWin95);
  std::string dir = ScratchDir("boot");
  std::string file = dir + "\\remove me.txt";
  WriteFileText(file, "x");
  EXPECT_TRUE(RemoveFileAfterBoot(file));
  // Folders named after their files: one emptied by the restart goes with its
  // file, one that still holds another stays.
  EXPECT_TRUE(RemoveFolderAfterBoot(dir));
  std::string kept = ScratchDir("boot kept");
  std::string keptFile = kept + "\\remove me too.txt";
  WriteFileText(keptFile, "x");
  WriteFileText(kept + "\\stays.txt", "x");
  EXPECT_TRUE(RemoveFileAfterBoot(keptFile));
  EXPECT_TRUE(RemoveFolderAfterBoot(kept + "\\"));
  EXPECT_TRUE(FileExists(file));  // not before the restart
  EXPECT_TRUE(DirectoryExists(dir));
  std::vector<std::wstring> ops =
      MultiString(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager",
                  L"PendingFileRenameOperations");
  // Pairs of source and target; a blank target deletes the source.
  bool found = false;
  for (size_t i = 0; i + 1 < ops.size(); i += 2) {
    std::wstring src = ops[i];
    if (src.rfind(L"\\??\\", 0) == 0) src = src.substr(4);
    if (_wcsicmp(src.c_str(), Widen(file).c_str()) == 0 && ops[i + 1].empty()) found = true;
  }
  EXPECT_TRUE(found) << "no pending delete of " << file << " among " << ops.size() << " entries";
  // A WININIT.INI is no part of this branch.
  EXPECT_FALSE(FileExists(DirectoryWBS(WindowsDir) + "WININIT.INI"));
  // What a restart does with it: the file goes.
  EXPECT_EQ(RunAndWait("wineboot.exe -r"), 0);
  EXPECT_FALSE(FileExists(file));
  EXPECT_FALSE(DirectoryExists(dir));
  EXPECT_FALSE(FileExists(keptFile));
  EXPECT_TRUE(FileExists(kept + "\\stays.txt"));
  RemoveTree(kept);
}

TEST(ExpandDirs, MissingValuesFallBackAndTrailingBackslashesGo) {
  std::string drive = ExtractFileDrive(GetCurrentDir());
  for (const char* v : {"Start Menu", "Programs", "Desktop", "Fonts", "Startup"})
    SetValue(hkCurrentUser, ShellFolders, v, nullptr);
  SetValue(hkLocalMachine, CurrentVersion, "ProgramFilesDir", nullptr);
  SetValue(hkLocalMachine, CurrentVersion, "CommonFilesDir", nullptr);
  EXPECT_EQ(ExpandStartMenuDir(), WindowsDir + "\\Startmen");
  EXPECT_EQ(ExpandProgramMenuDir(), WindowsDir + "\\Startmen\\Programs");
  EXPECT_EQ(ExpandDesktopDir(), WindowsDir + "\\Desktop");
  EXPECT_EQ(ExpandFontDir(), SystemDir);
  EXPECT_EQ(ExpandStartupMenuDir(), WindowsDir + "\\Startup");
  EXPECT_EQ(ExpandProgramFilesDir(), drive + "\\Program Files");
  EXPECT_EQ(ExpandCommonFilesDir(), drive + "\\Program Files\\Common Files");
  EXPECT_EQ(ExpandPath("%p\\MyApplication", nullptr), drive + "\\Program Files\\MyApplication");

  // Programs without its own value follows the Start menu that is there.
  std::string start = "C:\\Users\\Me\\Start Menu\\";
  SetValue(hkCurrentUser, ShellFolders, "Start Menu", &start);
  EXPECT_EQ(ExpandStartMenuDir(), "C:\\Users\\Me\\Start Menu");
  EXPECT_EQ(ExpandProgramMenuDir(), "C:\\Users\\Me\\Start Menu\\Programs");
  std::string pf = "E:\\Apps\\";
  SetValue(hkLocalMachine, CurrentVersion, "ProgramFilesDir", &pf);
  EXPECT_EQ(ExpandProgramFilesDir(), "E:\\Apps");
  EXPECT_EQ(ExpandPath("%P\\X\\", nullptr), "E:\\Apps\\X\\");
  std::string root = "F:\\";
  SetValue(hkCurrentUser, ShellFolders, "Desktop", &root);
  EXPECT_EQ(ExpandDesktopDir(), "F:");
  EXPECT_EQ(ExpandPath("%d\\link.lnk", nullptr), "F:\\link.lnk");
}

// Were the guard missing, this would empty the hive: it runs here, in a
// prefix that is thrown away.
TEST(RegistryRoutines, DeleteKeyOfABlankPathLeavesTheRootAlone) {
  const std::string key = "\\Software\\QuillantTests\\Root";
  WriteRVStr(hkCurrentUser, key, "v", "1");
  DeleteKey(hkCurrentUser, "");
  DeleteKey(hkCurrentUser, "\\");
  EXPECT_EQ(GetRVStr(hkCurrentUser, key, "v", ""), "1");
  EXPECT_NE(GetRVStr(hkCurrentUser, ShellFolders, "Desktop", ""), "");
  DeleteKey(hkCurrentUser, key);
}
