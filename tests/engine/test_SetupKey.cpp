// The setup key, its job list, the continuation command and the uninstaller
// entry. Run in a prefix of their own: they write the local machine's keys.
#include <gtest/gtest.h>

#include <windows.h>

#include "classlib/DateUtils.h"
#include "classlib/Registry.h"
#include "classlib/WinText.h"
#include "common/TestSupport.h"
#include "engine/cmp_TInstall.h"
#include "engine/cmp_TUninstallEXE.h"
#include "foundation/routines/routines_Registry.h"
#include "foundation/routines/routines_Strings.h"
#include "foundation/translator/cmp_TTranslator.h"

using namespace testsupport;

namespace {

const std::string List = InstallListKey;

std::string Sub(const std::string& Name) { return List + "\\" + Name; }

bool KeyExists(const std::string& Key) {
  TRegistry reg(KEY_READ);
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  return reg.OpenKeyReadOnly(Key);
}

// A key that looks like another program's: a date that no file here has.
void ForeignKey(const std::string& Name) {
  TRegistry reg;
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(reg.OpenKey(Sub(Name), true));
  reg.WriteString("Path", "C:\\other\\setup.exe");
  reg.WriteDateTime("CreationDate", 1234.5);
  reg.WriteInteger("Size", 77);
}

class SetupKey : public ::testing::Test {
protected:
  void SetUp() override {
    Dir = ScratchDir("setupkey");
    Program = Dir + "\\Quillant20.exe";
    WriteFileText(Program, std::string(4321, 'x'));
  }
  void TearDown() override {
    DeleteKey(hkLocalMachine, "\\SOFTWARE\\Quillant");
    RemoveTree(Dir);
  }
  std::string Dir, Program;
};

}  // namespace

TEST_F(SetupKey, FirstFreeNumberAndWrongTypesPassedOver) {
  ForeignKey("Install0");
  ForeignKey("install2");  // names are compared without case
  // Same size and date as the program, but CreationDate of another type.
  TDateTime date = 0;
  int32_t size = 0;
  ASSERT_TRUE(ReadProgramFileStamp(Program, date, size));
  {
    TRegistry reg;
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg.OpenKey(Sub("Install3"), true));
    reg.WriteString("Path", Program);
    reg.WriteString("CreationDate", "today");
    reg.WriteInteger("Size", size);
  }
  EXPECT_EQ(FindSetupKey(Program, 0, false), "");
  const std::string key = FindSetupKey(Program, 45000.25, true);
  EXPECT_EQ(key, Sub("Install1"));
  TRegistry reg(KEY_READ);
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(reg.OpenKeyReadOnly(key));
  EXPECT_EQ(reg.ReadString("Path"), Program);
  EXPECT_EQ(reg.ReadInteger("Size"), 4321);
  EXPECT_EQ(reg.ReadDateTime("CreationDate"), date);
  EXPECT_EQ(reg.ReadDateTime("LastRunDate"), 45000.25);
}

TEST_F(SetupKey, FoundAgainByDateAndSizeFromAnotherFolder) {
  const std::string key = FindSetupKey(Program, 0, true);
  ASSERT_FALSE(key.empty());
  // A copy with the same date and size elsewhere is the same program.
  const std::string copy = Dir + "\\elsewhere.exe";
  ASSERT_TRUE(CopyFileW(Widen(Program).c_str(), Widen(copy).c_str(), FALSE));
  ASSERT_TRUE(FileSetDate(copy, FileAge(Program)));
  EXPECT_EQ(FindSetupKey(copy, 300.5, false), key);
  EXPECT_EQ(GetRVStr(hkLocalMachine, key, "Path", ""), copy);
  // One byte more is another program.
  WriteFileText(copy, std::string(4322, 'x'));
  ASSERT_TRUE(FileSetDate(copy, FileAge(Program)));
  EXPECT_EQ(FindSetupKey(copy, 0, false), "");
  EXPECT_EQ(FindSetupKey(Dir + "\\missing.exe", 0, true), "");
}

TEST_F(SetupKey, JobsLanguageAndRemoval) {
  EXPECT_THROW(WriteUnfinishedJob("", "Install1", ufcReinstall), IEInstall);
  TStringList jobs;
  EXPECT_THROW(ReadUnfinishedJobs("", &jobs), IEInstall);

  const std::string key = FindSetupKey(Program, 0, true);
  ASSERT_FALSE(key.empty());
  ReadUnfinishedJobs(key, &jobs);
  EXPECT_EQ(jobs.Count(), 0);
  WriteUnfinishedJob(key, "DataFile", ufcReinstall);
  WriteUnfinishedJob(key, "C:\\x;y\\old.dll", ufcDeleteFile);
  WriteUnfinishedJob(key, "DataFile", ufcReinstall);  // one value for the same data
  ReadUnfinishedJobs(key, &jobs);
  ASSERT_EQ(jobs.Count(), 2);
  EXPECT_GE(jobs.IndexOf("DataFile;0"), 0);
  EXPECT_GE(jobs.IndexOf("C:\\x;y\\old.dll;1"), 0);
  WipeUnfinishedJobs(key);
  ReadUnfinishedJobs(key, &jobs);
  EXPECT_EQ(jobs.Count(), 0);

  int lang = -1;
  EXPECT_FALSE(ReadSetupKeyLanguage(key, lang));
  WriteRVInteger(hkLocalMachine, key, "Language", 16);
  EXPECT_FALSE(ReadSetupKeyLanguage(key, lang));
  WriteRVInteger(hkLocalMachine, key, "Language", qlGerman);
  ASSERT_TRUE(ReadSetupKeyLanguage(key, lang));
  EXPECT_EQ(lang, qlGerman);

  // Removal takes the downloaded archives with it, and the emptied parents.
  const std::string archive = Dir + "\\Group1.1";
  WriteFileText(archive, "archive");
  WriteRVStr(hkLocalMachine, key + "\\Group1", "LocalFile", archive);
  WriteRVStr(hkLocalMachine, key + "\\Group2", "LocalFile", "  ");
  WriteUnfinishedJob(key, "DataFile", ufcReinstall);
  ForeignKey("Install7");
  DeleteSetupKey(key);
  EXPECT_FALSE(FileExists(archive));
  EXPECT_FALSE(KeyExists(key));
  EXPECT_TRUE(KeyExists(List));  // another setup's key is still there
  const std::string second = FindSetupKey(Program, 0, true);
  DeleteKey(hkLocalMachine, Sub("Install7"));
  DeleteSetupKey(second);
  EXPECT_FALSE(KeyExists(List));
  EXPECT_FALSE(KeyExists("\\Software\\Quillant"));
}

TEST_F(SetupKey, ContinuationRegisteredBesideAnotherSetupsOne) {
  RegisterContinuation(ContinuationLine("C:\\a\\one.exe", true, "C:\\a\\setup.exe"));
  RegisterContinuation(ContinuationLine("C:\\b b\\two.exe", false, "C:\\b b\\two.exe"));
  EXPECT_EQ(GetRVStr(hkLocalMachine, RunOnceKey, "QuillantUnfinished", ""),
            "\"C:\\a\\one.exe\" *ABOOT *SELFEXTRACT setup.exe C:\\a");
  EXPECT_EQ(GetRVStr(hkLocalMachine, RunOnceKey, "QuillantUnfinished1", ""),
            "\"C:\\b b\\two.exe\" *ABOOT *NOSELFEXTRACT two.exe C:\\b b");
  TRegistry reg;
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(reg.OpenKey(RunOnceKey, false));
  reg.DeleteValue("QuillantUnfinished");
  reg.DeleteValue("QuillantUnfinished1");
}

TEST_F(SetupKey, UninstallEntryQuotesTheUninstallerPath) {
  const std::string key = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\My Product 2";
  const std::string uninstaller = "C:\\Program Files\\My Product\\uninstall.exe";
  WriteUninstallEntry(key, "My Product 2", uninstaller);
  EXPECT_EQ(GetRVStr(hkLocalMachine, key, "DisplayName", ""), "My Product 2");
  const std::string line = GetRVStr(hkLocalMachine, key, "UninstallString", "");
  EXPECT_EQ(line, "\"C:\\Program Files\\My Product\\uninstall.exe\" My Product 2");
  // The uninstaller gets its path and the name back through its argument rules.
  std::vector<std::string> back = SplitCommandLine(line);
  ASSERT_EQ(back.size(), 4u);
  EXPECT_EQ(back[0], uninstaller);
  EXPECT_EQ(back[1] + " " + back[2] + " " + back[3], "My Product 2");
  // Wine's own uninstaller lists the entry by its display name. It is named
  // by its folder, not looked up through PATH: on a loaded machine, a test
  // process in a fresh copy of the prefix has been seen whose command
  // interpreter could not find it.
  wchar_t system[MAX_PATH];
  const UINT n = GetSystemDirectoryW(system, MAX_PATH);
  ASSERT_TRUE(n > 0 && n < MAX_PATH);
  const std::string out = Dir + "\\list.txt";
  EXPECT_EQ(RunAndWait("cmd.exe /c \"\"" + Narrow(system, n) + "\\uninstaller.exe\" --list > \"" + out + "\"\""), 0);
  EXPECT_NE(ReadFileText(out).find("My Product 2"), std::string::npos) << ReadFileText(out);
  DeleteKey(hkLocalMachine, key);
}

TEST_F(SetupKey, UninstallerWithoutControllerNamesItself) {
  TUninstallEXE uninstaller(nullptr);
  uninstaller.SetName("Uninstaller");
  ASSERT_EQ(MainInstall, nullptr);
  try {
    uninstaller.WriteInstallInfo(UninstallKeyFor("Nothing"));
    ADD_FAILURE() << "no error without a controller";
  } catch (const IEUninstallEXE& e) {
    EXPECT_EQ(e.Message,
              "Uninstaller could not write information about the uninstall to the registry because there was no "
              "TInstall component");
  }
}
