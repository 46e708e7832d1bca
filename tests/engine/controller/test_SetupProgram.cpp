// The setup program end to end: a page-free install module run under Wine
// from a work folder as the loader leaves it, with its archive in the
// distribution folder; and the restart path, with "wineboot -r" standing in
// for the restart. In a prefix of its own (QNT_WINE_VERSION=win95 plays the
// Windows 95 family, whose replacements go through WININIT.INI).
#include <gtest/gtest.h>

#include <windows.h>

#include "classlib/Registry.h"
#include "classlib/WinText.h"
#include "common/TestSupport.h"
#include "engine/cmp_TInstall.h"
#include "engine/cmp_TInstallContainer.h"
#include "foundation/routines/routines_API.h"
#include "foundation/routines/routines_ExpandPaths.h"
#include "foundation/routines/routines_Registry.h"

using namespace testsupport;

namespace {

const char* const Product = "Quillant Test Product";

// A work folder as the loader makes it: a temporary file's name, without its
// extension, under the temporary folder.
std::string LoaderWorkFolder() {
  wchar_t temp[MAX_PATH + 1], name[MAX_PATH + 1];
  GetTempPathW(MAX_PATH + 1, temp);
  if (!GetTempFileNameW(temp, L"qnt", 0, name)) return {};
  DeleteFileW(name);
  std::string dir = ChangeFileExt(Narrow(std::wstring(name)), "");
  return ForceDirectories(dir) ? dir : std::string();
}

bool KeyExists(const std::string& Key) {
  TRegistry reg(KEY_READ);
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  return reg.OpenKeyReadOnly(Key);
}

class SetupProgram : public ::testing::Test {
protected:
  void SetUp() override {
    Dist = ScratchDir("e2e dist");  // blanks in the folder: the loader passes it in pieces
    Work = LoaderWorkFolder();
    Dest = ExpandProgramFilesDir() + "\\" + Product;
    // The build machine's folder of the module's files: the archive names
    // each entry by its source path there.
    const std::string src = "C:\\qnt build";
    ForceDirectories(src);
    WriteFileText(src + "\\DATA.DLL", "new data");
    WriteFileText(src + "\\README.TXT", "read me");
    WriteFileText(src + "\\uninstall.exe", "uninstaller");
    QlntCompress->SetCompressedFile(Dist + "\\files.1");
    QlntCompress->SetOffset(0);
    QlntCompress->FilesToProcess()->Clear();
    for (const char* n : {"DATA.DLL", "README.TXT", "uninstall.exe"})
      QlntCompress->FilesToProcess()->Add(src + "\\" + n);
    QlntCompress->Add(lzcOverwrite);
    RemoveTree(src);
    Program = CopyProgram("qnt_setup_module.exe", Work, "Quillant20.exe");
#ifdef QNT_TEST_WIN95
    SetReportedWindowsVersion("Quillant20.exe", "win95");
#endif
    WriteFileText(Work + "\\presetup.txt", "pre-setup file");
  }
  void TearDown() override {
    RemoveTree(Dist);
    RemoveTree(Work);
    RemoveTree(Dest);
  }
  long RunSetup() {
    return RunAndWait("\"" + Program + "\" *NOTSELFEXTRACT setup.exe " + Dist, Work, 120000);
  }
  std::string Dist, Work, Dest, Program;
};

// The Windows 95 run has a suite name of its own, so CTest tells the two apart.
#ifdef QNT_TEST_WIN95
class SetupProgramWin95 : public SetupProgram {};
#define SETUP_SUITE SetupProgramWin95
#else
#define SETUP_SUITE SetupProgram
#endif

}  // namespace

TEST_F(SETUP_SUITE, GoodRunInstallsRecordsAndLeavesNoKey) {
  ASSERT_EQ(RunSetup(), 0);
  EXPECT_EQ(ReadFileText(Dest + "\\DATA.DLL"), "new data");
  EXPECT_EQ(ReadFileText(Dest + "\\README.TXT"), "read me");
  const std::string record = UninstallKeyFor(Product);
  EXPECT_EQ(GetRVStr(hkLocalMachine, record, "DisplayName", ""), Product);
  EXPECT_EQ(GetRVStr(hkLocalMachine, record, "UninstallString", ""),
            "\"" + Dest + "\\uninstall.exe\" " + Product);
  EXPECT_FALSE(KeyExists("\\SOFTWARE\\Quillant"));
  EXPECT_FALSE(FileExists(Work + "\\restart.log"));
  EXPECT_EQ(GetRVStr(hkLocalMachine, RunOnceKey, ContinuationValueName, "none"), "none");
  // The pre-setup file of the work folder went; the distribution stays whole.
  EXPECT_FALSE(FileExists(Work + "\\presetup.txt"));
  EXPECT_TRUE(FileExists(Dist + "\\files.1"));
  // The loader's copy of the program goes at the restart, and on the Windows
  // NT family its work folder with it (WININIT.INI deletes files only).
  EXPECT_TRUE(FileExists(Program));
  ASSERT_EQ(RunAndWait("wineboot.exe -r", "", 180000), 0);
  EXPECT_FALSE(FileExists(Program));
#ifdef QNT_TEST_WIN95
  EXPECT_TRUE(DirectoryExists(Work));
#else
  EXPECT_FALSE(DirectoryExists(Work));
#endif
}

TEST_F(SETUP_SUITE, StartedDirectlyWithASourceFolderItKeepsItsFiles) {
  // A developer's start: the program in its build folder, the distribution's
  // folder its one argument.
  const std::string build = ScratchDir("e2e build");
  const std::string program = CopyProgram("qnt_setup_module.exe", build, "Quillant20.exe");
  WriteFileText(build + "\\presetup.txt", "pre-setup file");
  ASSERT_EQ(RunAndWait("\"" + program + "\" \"" + Dist + "\"", build, 120000), 0);
  EXPECT_EQ(ReadFileText(Dest + "\\DATA.DLL"), "new data");
  EXPECT_TRUE(FileExists(build + "\\presetup.txt"));
  ASSERT_EQ(RunAndWait("wineboot.exe -r", "", 180000), 0);
  EXPECT_TRUE(FileExists(program));
  RemoveTree(build);
}

TEST_F(SETUP_SUITE, RestartRoundTripFinishesAfterWinebootRestart) {
  ForceDirectories(Dest);
  WriteFileText(Dest + "\\DATA.DLL", "old data");
  // Held open without delete sharing: the file can only be replaced at the restart.
  HANDLE held = CreateFileW(Widen(Dest + "\\DATA.DLL").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  ASSERT_EQ(RunSetup(), 0);
  CloseHandle(held);
  EXPECT_EQ(ReadFileText(Work + "\\restart.log"), "restart\n");
  EXPECT_EQ(ReadFileText(Dest + "\\DATA.DLL"), "old data");
  EXPECT_EQ(GetRVStr(hkLocalMachine, RunOnceKey, ContinuationValueName, ""),
            "\"" + Program + "\" *ABOOT *NOSELFEXTRACT setup.exe " + Dist);
  EXPECT_TRUE(KeyExists(InstallListKey));
  EXPECT_TRUE(FileExists(Work + "\\presetup.txt"));  // the clean-up comes after the restart
  // The replacement waits where the reported Windows keeps it: WININIT.INI on
  // the Windows 95 family, the session manager's list on Windows NT.
  const std::string wininitPath = WindowsDir + "\\WININIT.INI";
  const std::string wininit = FileExists(wininitPath) ? ReadFileText(wininitPath) : "";
  TRegistry session(KEY_READ);
  session.SetRootKey(HKEY_LOCAL_MACHINE);
  const bool pending = session.OpenKeyReadOnly("\\SYSTEM\\CurrentControlSet\\Control\\Session Manager") &&
                       session.ValueExists("PendingFileRenameOperations");
#ifdef QNT_TEST_WIN95
  EXPECT_NE(UpperCase(wininit).find("DATA.DLL"), std::string::npos) << wininit;
  EXPECT_FALSE(pending);
#else
  EXPECT_EQ(wininit, "");
  EXPECT_TRUE(pending);
#endif

  // The "restart": the pending replacement first, then the continuation.
  ASSERT_EQ(RunAndWait("wineboot.exe -r", "", 180000), 0);
  EXPECT_EQ(ReadFileText(Dest + "\\DATA.DLL"), "new data");
  EXPECT_EQ(GetRVStr(hkLocalMachine, RunOnceKey, ContinuationValueName, "none"), "none");
  EXPECT_FALSE(KeyExists("\\SOFTWARE\\Quillant"));
  EXPECT_FALSE(FileExists(Work + "\\presetup.txt"));
}
