// Replacing a file that is in use: the new copy goes in under a numbered
// name and takes the old one's place at the next start of Windows (played by
// "wineboot -r"): a delayed move, WININIT.INI on the Windows 95 family, or a
// batch under RunOnce when the move cannot be scheduled. Runs in a prefix of
// its own.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>

#include "classlib/Registry.h"
#include "classlib/SysUtils.h"
#include "classlib/WinText.h"
#include "common/TestSupport.h"
#include "engine/files/InstallFileFixtures.h"
#include "foundation/routines/routines_API.h"
#include "foundation/routines/routines_INIFiles.h"
#include "foundation/routines/routines_Registry.h"
#include "foundation/routines/routines_Strings.h"

using namespace testsupport;
using namespace fixtures;

namespace {

class InUse : public testing::Test {
protected:
  void SetUp() override {
    Reboot = false;
    FDir = ScratchDir("inuse");
    CreateDirectoryA((FDir + "\\src").c_str(), nullptr);
    CreateDirectoryA((FDir + "\\dst").c_str(), nullptr);
    WriteBytes(FDir + "\\src\\data.dll", "the new bytes");
    Pack(FDir + "\\files.1", FDir + "\\src", {"data.dll"});
    WriteBytes(Dest(), "old");
    DeleteKey(hkLocalMachine, RecordKey());
    FController = new TTestController(nullptr);
    FController->SetName("Install1");
    FController->SetArchiveFile(FDir + "\\files.1");
    FFile = new TInstallFile(nullptr);
    FFile->SetName("File1");
    FFile->SetIncludeFromDir(FDir + "\\src");
    FFile->SetFileName("data.dll");
    FFile->SetContainer(FController);
    FFile->SetDestDirType(ddAbsolute);
    FFile->SetDestDir(FDir + "\\dst");
    FFile->SetUpdateDLLCounter(true);
    FFile->SetActiveX(false);
    FFile->ReadInfoFromArchive();
    // Held open without FILE_SHARE_DELETE, as a loaded library is.
    FHold = CreateFileW(Widen(Dest()).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                        OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(FHold, INVALID_HANDLE_VALUE);
  }
  void TearDown() override {
    Release();
    delete FFile;
    delete FController;
    DeleteKey(hkLocalMachine, RecordKey());
    RemoveTree(FDir);
    Reboot = false;
  }
  void Release() {
    if (FHold != INVALID_HANDLE_VALUE) CloseHandle(FHold);
    FHold = INVALID_HANDLE_VALUE;
  }
  std::string Dest() const { return FDir + "\\dst\\data.dll"; }
  std::string Numbered() const { return FDir + "\\dst\\data.1"; }
  // What the install wrote under the file's real name, and the restart.
  void ExpectRealNamesThenRestart() {
    EXPECT_TRUE(Reboot);
    EXPECT_TRUE(FFile->DelayedReplace());
    EXPECT_EQ(FFile->DestName(), "data.dll");
    EXPECT_EQ(ReadBytes(Dest()), "old");
    EXPECT_EQ(ReadBytes(Numbered()), "the new bytes");
    EXPECT_EQ(GetRVStr(hkLocalMachine, RecordKey() + "\\Files", "File1", ""), Dest());
    {
      TRegistry reg;
      reg.SetRootKey(HKEY_LOCAL_MACHINE);
      ASSERT_TRUE(reg.OpenKey("\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs", false));
      EXPECT_EQ(reg.ReadInteger(Dest()), 1);
      EXPECT_FALSE(reg.ValueExists(Numbered()));
      reg.DeleteValue(Dest());
    }
    EXPECT_NE(std::find(FController->Unfinished.begin(), FController->Unfinished.end(), "reinstall:File1"),
              FController->Unfinished.end());
    Release();
    ASSERT_EQ(RunAndWait("wineboot.exe -r"), 0);
    // The batch of RunOnce may still be running.
    for (int i = 0; i < 100 && ReadBytes(Dest()) != "the new bytes"; ++i) Sleep(100);
    EXPECT_EQ(ReadBytes(Dest()), "the new bytes");
    EXPECT_FALSE(FileExists(Numbered()));
  }

  std::string FDir;
  TTestController* FController = nullptr;
  TInstallFile* FFile = nullptr;
  HANDLE FHold = INVALID_HANDLE_VALUE;
};

}  // namespace

// An uninstall before this setup left the file (in use), a second one, its
// folder and a file of another product for deletion at the restart. The
// setup installs the first again, to replace it at the restart, and keeps the
// second as it stands: both are there after the restart, and the other
// product's file is gone.
TEST_F(InUse, WhatASetupPutsOrKeepsInPlaceOutlivesTheDeletionsAnUninstallLeft) {
  const std::string kept = FDir + "\\dst\\kept.dll", other = FDir + "\\other.txt";
  WriteBytes(kept, "kept");
  WriteBytes(other, "other");
  WriteBytes(FDir + "\\src\\kept.dll", "newer bytes");
  Pack(FDir + "\\files.1", FDir + "\\src", {"data.dll", "kept.dll"});
  FFile->ReadInfoFromArchive();
  TInstallFile keep(nullptr);
  keep.SetName("File2");
  keep.SetIncludeFromDir(FDir + "\\src");
  keep.SetFileName("kept.dll");
  keep.SetContainer(FController);
  keep.SetDestDirType(ddAbsolute);
  keep.SetDestDir(FDir + "\\dst");
  keep.SetOverwriteMode(owNever);
  keep.ReadInfoFromArchive();
  for (const std::string& path : {Dest(), kept, other}) ASSERT_TRUE(RemoveFileAfterBoot(path));
  RemoveFolderAfterBoot(FDir + "\\dst");  // the Windows NT family only
  FFile->Install();
  keep.Install();
  ExpectRealNamesThenRestart();
  EXPECT_EQ(ReadBytes(kept), "kept");
  EXPECT_FALSE(FileExists(other));
}

#ifndef QNT_TEST_WIN95

TEST_F(InUse, DelayedMoveReplacesTheFileAtTheRestart) {
  ASSERT_NE(GetWindowsVerType(), wvWin95);
  FFile->Install();
  ExpectRealNamesThenRestart();
}

TEST_F(InUse, BatchUnderRunOnceWhenTheMoveCannotBeScheduled) {
  auto saved = DelayedMoveFile;
  DelayedMoveFile = [](const std::string&, const std::string&) { return false; };
  // The batch goes to the temporary folder, which often has blanks
  // ("Documents and Settings"): RunOnce must name it quoted.
  const std::string temp = FDir + "\\temp with blanks";
  CreateDirectoryA(temp.c_str(), nullptr);
  wchar_t oldTmp[MAX_PATH] = {}, oldTemp[MAX_PATH] = {};
  GetEnvironmentVariableW(L"TMP", oldTmp, MAX_PATH);
  GetEnvironmentVariableW(L"TEMP", oldTemp, MAX_PATH);
  SetEnvironmentVariableA("TMP", temp.c_str());
  SetEnvironmentVariableA("TEMP", temp.c_str());
  FFile->Install();
  SetEnvironmentVariableW(L"TMP", oldTmp);
  SetEnvironmentVariableW(L"TEMP", oldTemp);
  DelayedMoveFile = saved;
  ASSERT_EQ(FController->Unfinished.size(), 2u);
  const std::string batch = FController->Unfinished[0].substr(7);
  EXPECT_EQ(FController->Unfinished[0].substr(0, 7), "delete:");
  EXPECT_TRUE(SameText(ExtractFileExt(batch), ".bat"));
  EXPECT_TRUE(SameText(ExtractFilePath(batch), IncludeTrailingBackslash(temp))) << batch;
  const std::string so = GetShortPath(Dest()), sn = GetShortPath(Numbered());
  EXPECT_EQ(ReadBytes(batch), "if exist " + sn + " erase " + so + "\r\nif exist " + sn + " move " + sn + " " + so +
                                  "\r\n");
  EXPECT_EQ(GetRVStr(hkLocalMachine, RunOnceKey, "QuillantBatFile", ""), "\"" + batch + "\"");
  ExpectRealNamesThenRestart();
}

TEST_F(InUse, AFileThatCannotBeReplacedNowIsNeverLost) {
  // Held by a program that lets others delete it (a virus scanner): the
  // old file could be deleted, yet its name stays taken until it is closed,
  // so the new one could not be moved in. Replaced in one step, it stays.
  Release();
  FHold = CreateFileW(Widen(Dest()).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(FHold, INVALID_HANDLE_VALUE);
  FFile->Install();
  ExpectRealNamesThenRestart();
}

TEST_F(InUse, WithoutAControllerAFailedMoveIsAnError) {
  auto saved = DelayedMoveFile;
  DelayedMoveFile = [](const std::string&, const std::string&) { return false; };
  MainInstall = nullptr;
  FFile->SetNet(false);  // without a controller the distribution counts as a network one
  EXPECT_THROW(FFile->Install(), IECustomInstallFile);
  MainInstall = FController;
  DelayedMoveFile = saved;
  EXPECT_FALSE(Reboot);
}

TEST_F(InUse, ACorruptArchiveLeavesTheOldFile) {
  // Spoil the packed data behind the archive's headers.
  std::string bytes = ReadBytes(FDir + "\\files.1");
  for (size_t i = bytes.size() / 2; i < bytes.size(); ++i) bytes[i] = static_cast<char>(0xA5);
  WriteBytes(FDir + "\\files.1", bytes);
  EXPECT_ANY_THROW(FFile->Install());
  EXPECT_EQ(ReadBytes(Dest()), "old");
  EXPECT_FALSE(FileExists(Numbered()));
  EXPECT_FALSE(Reboot);
  EXPECT_TRUE(FController->Unfinished.empty());
  EXPECT_EQ(GetRVStr(hkLocalMachine, RecordKey() + "\\Files", "File1", "none"), "none");
}

#else

TEST_F(InUse, Windows95RenamesThroughWininit) {
  ASSERT_EQ(GetWindowsVerType(), wvWin95);
  const std::string ini = DirectoryWBS(WindowsDir) + "WININIT.INI";
  RemoveFile(ini);
  WriteBytes(Numbered(), "taken");  // the .1 name is taken: the new copy is .2
  FFile->Install();
  const std::string second = FDir + "\\dst\\data.2";
  EXPECT_EQ(ReadBytes(second), "the new bytes");
  EXPECT_EQ(ReadBytes(ini), "[RENAME]\r\n" + GetShortPath(Dest()) + "=" + GetShortPath(second) + "\r\n");
  EXPECT_TRUE(Reboot);
  Release();
  ASSERT_EQ(RunAndWait("wineboot.exe -r"), 0);
  EXPECT_EQ(ReadBytes(Dest()), "the new bytes");
  EXPECT_FALSE(FileExists(second));
}

#endif
