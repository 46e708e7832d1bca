// The removal steps against uninstall records written here as the setup
// program (and other tools) write them. Runs in a prefix of its own.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>
#include <knownfolders.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "classlib/Handles.h"
#include "classlib/IniFiles.h"
#include "classlib/Registry.h"
#include "classlib/SysUtils.h"
#include "classlib/WinText.h"
#include "common/TestSupport.h"
#include "foundation/routines/routines_API.h"
#include "foundation/routines/routines_ExpandPaths.h"
#include "foundation/routines/routines_InstallParts.h"
#include "foundation/routines/routines_Registry.h"
#include "foundation/routines/routines_Strings.h"
#include "uninstaller/UninstallCore.h"
#include "uninstaller/OwnDesktop.h"

using namespace testsupport;

namespace {

bool KeyExists(TRootKeys Root, const std::string& Key) {
  TRegistry reg(KEY_READ);
  SetTheRoot(&reg, Root);
  return reg.OpenKeyReadOnly(Key);
}

bool ValueExists(TRootKeys Root, const std::string& Key, const std::string& Name) {
  TRegistry reg(KEY_READ);
  SetTheRoot(&reg, Root);
  return reg.OpenKeyReadOnly(Key) && reg.ValueExists(Name);
}

// Makes Link a symbolic link to the folder Target. Wine makes neither a
// junction nor a symbolic link through the system's calls, but shows a link
// of the host's as one: the host's ln makes it (Wine starts it like a
// program of its own, but gives no handle to wait on).
bool MakeFolderLink(const std::string& Link, const std::string& Target) {
  auto isLink = [&] {
    const DWORD a = GetFileAttributesW(Widen(Link).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT);
  };
  const std::string link = UnixPathOf(ExtractFileDir(Link)) + "/" + ExtractFileName(Link);
  RunAndWait("/bin/ln -s \"" + UnixPathOf(Target) + "\" \"" + link + "\"", "", 30000);
  for (int i = 0; i < 100 && !isLink(); ++i) Sleep(50);
  return isLink();
}

// Removes the link itself (the system's calls would take its target).
void RemoveFolderLink(const std::string& Link) {
  const DWORD a = GetFileAttributesW(Widen(Link).c_str());
  if (a == INVALID_FILE_ATTRIBUTES || !(a & FILE_ATTRIBUTE_REPARSE_POINT)) return;
  RunAndWait("/bin/rm -f \"" + UnixPathOf(Link) + "\"", "", 30000);
  for (int i = 0; i < 100 && GetFileAttributesW(Widen(Link).c_str()) != INVALID_FILE_ATTRIBUTES; ++i) Sleep(50);
}

// The product's record and the files it lists; each test has a product of
// its own and a scratch folder with blanks in its name.
class UninstallSteps : public ::testing::Test {
protected:
  void SetUp() override {
    FProduct = std::string("Qnt Steps ") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    FDir = ScratchDir("uninstall steps");
    U = std::make_unique<TUninstaller>(FProduct);
    U->OnConfirm = [this](const std::string& Path) {
      Asked.push_back(Path);
      return UpperCase(Path).find("KEEP") == std::string::npos;  // Yes, but to files named "keep"
    };
    U->OnProgress = [this](int P) { Progress.push_back(P); };
  }
  void TearDown() override {
    DeleteKey(hkLocalMachine, U->UninstallKey());
    RemoveTree(FDir);
  }

  std::string Record(const std::string& Sub = "") const {
    return Sub.empty() ? U->UninstallKey() : U->UninstallKey() + "\\" + Sub;
  }
  // A file in the scratch folder (sub folders made as needed).
  std::string MakeFile(const std::string& Name, const std::string& Text = "x") const {
    std::string path = FDir + "\\" + Name;
    ForceDirectories(ExtractFileDir(path));
    WriteFileText(path, Text);
    return path;
  }
  // A Files partition (or ActiveX) as the setup program writes it.
  void WriteList(const std::string& Sub, const std::vector<std::string>& Entries,
                 const std::string& Prefix = "File") const {
    for (size_t i = 0; i < Entries.size(); ++i)
      WriteRVStr(hkLocalMachine, Record(Sub), Prefix + std::to_string(i + 1), Entries[i]);
    WriteRVStr(hkLocalMachine, Record(Sub), "Entries", std::to_string(Entries.size()));
  }

  std::string FProduct, FDir;
  std::unique_ptr<TUninstaller> U;
  std::vector<std::string> Asked;
  std::vector<int> Progress;
};

TEST_F(UninstallSteps, SharedFileRule) {
  std::string none = MakeFile("none.dll");
  std::string oneNo = MakeFile("one keep.dll");
  std::string oneYes = MakeFile("one yes.dll");
  std::string three = MakeFile("three.dll");
  std::string shortYes = MakeFile("short form yes.dll");
  std::string shortName = GetShortPath(shortYes);
  ASSERT_FALSE(shortName.empty());
  ASSERT_NE(shortName, shortYes);
  WriteRVInteger(hkLocalMachine, SharedDLLsKey, oneNo, 1);
  WriteRVInteger(hkLocalMachine, SharedDLLsKey, oneYes, 1);
  WriteRVInteger(hkLocalMachine, SharedDLLsKey, three, 3);
  WriteRVInteger(hkLocalMachine, SharedDLLsKey, shortName, 1);
  WriteList("Files", {none, oneNo, oneYes, three, shortYes});

  U->RemoveFiles();

  EXPECT_FALSE(FileExists(none));
  EXPECT_TRUE(FileExists(oneNo));
  EXPECT_EQ(GetRVInteger(hkLocalMachine, SharedDLLsKey, oneNo, 0), 1);
  EXPECT_FALSE(FileExists(oneYes));
  EXPECT_FALSE(ValueExists(hkLocalMachine, SharedDLLsKey, oneYes));
  EXPECT_TRUE(FileExists(three));
  EXPECT_EQ(GetRVInteger(hkLocalMachine, SharedDLLsKey, three, 0), 2);
  // Found under the short form, asked and removed under it.
  EXPECT_FALSE(FileExists(shortYes));
  EXPECT_FALSE(ValueExists(hkLocalMachine, SharedDLLsKey, shortName));
  EXPECT_EQ(Asked, (std::vector<std::string>{oneNo, oneYes, shortName}));
  EXPECT_FALSE(KeyExists(hkLocalMachine, Record("Files")));
  DeleteIdent(hkLocalMachine, SharedDLLsKey, oneNo);
  DeleteIdent(hkLocalMachine, SharedDLLsKey, three);

  // A record that lists the counts the product raised: only those are
  // lowered; a file that only other products counted stays for them.
  std::string ours = MakeFile("ours.dll"), theirs = MakeFile("theirs.dll");
  WriteRVInteger(hkLocalMachine, SharedDLLsKey, ours, 1);
  WriteRVInteger(hkLocalMachine, SharedDLLsKey, theirs, 1);
  WriteRVStr(hkLocalMachine, Record(), "RecordForm", "2");
  WriteList("Files", {ours, theirs});
  WriteList("Counted", {ours});
  Asked.clear();
  TUninstaller u(FProduct);
  u.OnConfirm = U->OnConfirm;
  u.RemoveFiles();
  EXPECT_EQ(Asked, (std::vector<std::string>{ours}));
  EXPECT_FALSE(FileExists(ours));
  EXPECT_TRUE(FileExists(theirs));
  EXPECT_EQ(GetRVInteger(hkLocalMachine, SharedDLLsKey, theirs, 0), 1);
  DeleteIdent(hkLocalMachine, SharedDLLsKey, theirs);
}

TEST_F(UninstallSteps, HelpRegistrationsGoWithTheirFiles) {
  const struct {
    const char* Name;
    bool Complete, Listed;  // the record's form; its Help list names the file
    bool OtherFolder;       // the value names another copy's folder
    int Count;              // another product's shared count (0: none)
    bool Gone;
  } rows[] = {
      {"registered, removed", true, true, false, 0, true},
      {"another copy's", true, true, true, 0, false},
      {"kept for another product", true, true, false, 2, false},
      {"an earlier setup's record", false, false, false, 0, true},
  };
  int n = 0;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Name);
    const std::string name = "HELP" + std::to_string(++n) + ".HLP";
    const std::string file = MakeFile("help\\" + name);
    WriteRVStr(hkLocalMachine, HelpKey, name, row.OtherFolder ? FDir + "\\other" : FDir + "\\help");
    if (row.Count) WriteRVInteger(hkLocalMachine, SharedDLLsKey, file, row.Count);
    if (row.Complete) WriteRVStr(hkLocalMachine, Record(), "RecordForm", "2");
    WriteList("Files", {file});
    if (row.Listed) WriteList("Help", {file});
    TUninstaller(FProduct).RemoveFiles();
    EXPECT_EQ(ValueExists(hkLocalMachine, HelpKey, name), !row.Gone);
    DeleteIdent(hkLocalMachine, HelpKey, name);
    DeleteIdent(hkLocalMachine, SharedDLLsKey, file);
    DeleteKey(hkLocalMachine, Record());
  }
}

TEST_F(UninstallSteps, PartitionsEndAtTheFirstGap) {
  std::string a = MakeFile("a.txt"), b = MakeFile("sub\\b.txt"), c = MakeFile("c.txt"), d = MakeFile("d.txt");
  WriteList("Files", {a});
  WriteList("Files1", {b, c});
  WriteList("Files3", {d});
  // A count an uninstall stopped halfway took: every value there still goes.
  DeleteIdent(hkLocalMachine, Record("Files1"), "Entries");
  U->RemoveFiles();
  EXPECT_FALSE(FileExists(a));
  EXPECT_FALSE(FileExists(b));
  EXPECT_FALSE(FileExists(c));
  EXPECT_TRUE(FileExists(d));
  EXPECT_FALSE(KeyExists(hkLocalMachine, Record("Files")));
  EXPECT_FALSE(KeyExists(hkLocalMachine, Record("Files1")));
  EXPECT_TRUE(KeyExists(hkLocalMachine, Record("Files3")));
  // One entry: 0; then a partition of two starts again at 0.
  EXPECT_EQ(Progress, (std::vector<int>{0, 0, 100}));
  EXPECT_EQ(U->DirList().Text(), UpperCase(FDir) + "\r\n" + UpperCase(FDir) + "\\SUB\r\n");

  // Without Files no later partition is read.
  TUninstaller other(FProduct + " without Files");
  WriteRVStr(hkLocalMachine, other.UninstallKey() + "\\Files1", "File1", d);
  other.RemoveFiles();
  EXPECT_TRUE(FileExists(d));
  DeleteKey(hkLocalMachine, other.UninstallKey());
}

TEST_F(UninstallSteps, UnfinishedCopiesThatAStoppedSetupLeftGoToo) {
  // A setup that is still running: its copies are not leftovers.
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION running{};
  std::wstring line = L"\"" + std::wstring(self) + L"\" --gtest_list_tests";
  ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr, &si,
                             &running));
  TScopeGuard stop([&] {
    TerminateProcess(running.hProcess, 0);
    CloseHandle(running.hThread);
    CloseHandle(running.hProcess);
  });
  char live[16];
  snprintf(live, sizeof live, "%lx", static_cast<unsigned long>(running.dwProcessId));
  // Beside a recorded file, beside one no longer there, beside a server, of
  // a file the record does not list (never recorded, as the setup was stopped
  // before it), read-only as a CD's file, and alone in a folder of its own;
  // each written by a setup that has ended (a process number no process has).
  std::string a = MakeFile("a.dll"), gone = FDir + "\\gone.dll", server = FDir + "\\server.ocx";
  std::string gone2 = FDir + "\\parts only\\gone.txt";
  std::vector<std::string> parts = {MakeFile("a.dll.~qntfffffff0-1f3a"),      MakeFile("a.dll.~qntFFFFFFF0-0"),
                                    MakeFile("gone.dll.~qntfffffff0-2"),       MakeFile("server.ocx.~qntfffffff0-7b2"),
                                    MakeFile("b.dll.~qntfffffff0-4c1d"),       MakeFile("read only.txt.~QNTFFFFFFF0-A"),
                                    MakeFile("parts only\\gone.txt.~qntfffffff0-5e6f")};
  SetFileAttributesW(Widen(parts[5]).c_str(), FILE_ATTRIBUTE_READONLY);
  // One whose process id the running program has taken since: made before
  // that program started, it is no copy of its run.
  parts.push_back(MakeFile("a.dll.~qnt" + std::string(live) + "-1"));
  {
    FILETIME started, exited, kernel, user;
    ASSERT_TRUE(GetProcessTimes(running.hProcess, &started, &exited, &kernel, &user));
    ULARGE_INTEGER t;
    t.LowPart = started.dwLowDateTime;
    t.HighPart = started.dwHighDateTime;
    t.QuadPart -= 36000000000ull;  // an hour
    const FILETIME before{t.LowPart, t.HighPart};
    THandleOwner copy(CreateFileW(Widen(parts.back()).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0,
                                  nullptr));
    // Written then too: Wine keeps one time for both.
    ASSERT_TRUE(SetFileTime(copy.Get(), &before, nullptr, &before));
  }
  // The user's files, whatever their names hold, and the running setup's copy.
  std::vector<std::string> kept = {MakeFile("b.dll.qnt"),         MakeFile("notes.~qnt.bak"),
                                   MakeFile("gone.dll.~qnt"),      MakeFile("a.dll.~qntfffffff0-"),
                                   MakeFile("a.dll.~qnt12-3.bak"), MakeFile("a.dll.~qnt" + std::string(live) + "-0")};
  ASSERT_EQ(parts[0].rfind(InstallPartName(a), 0), 0u);
  WriteList("Files", {a, gone, gone2});
  WriteList("ActiveX", {server + ";0"});
  U->RemoveFiles();
  U->RemoveActiveX();
  U->RemoveDirectories();
  EXPECT_FALSE(FileExists(a));
  for (const auto& part : parts) EXPECT_FALSE(FileExists(part)) << part;
  for (const auto& file : kept) EXPECT_TRUE(FileExists(file)) << file;
  EXPECT_FALSE(DirectoryExists(FDir + "\\parts only"));
  // What stays is told: the running setup's copy, not the user's files.
  std::vector<std::string> left;
  EXPECT_FALSE(RemoveInstallLeftovers(FDir, &left));
  EXPECT_EQ(left, std::vector<std::string>{kept.back()});
}

TEST_F(UninstallSteps, ActiveXServersAreUnregisteredByTheirType) {
  // A library server, registered as the setup program would have.
  std::string dll = FDir + "\\server lib.dll";
  ASSERT_TRUE(CopyFileW(Widen(BinDir() + "\\qnt_unreg_dll.dll").c_str(), Widen(dll).c_str(), FALSE));
  HMODULE lib = LoadLibraryW(Widen(dll).c_str());
  ASSERT_TRUE(lib);
  auto reg = reinterpret_cast<HRESULT(WINAPI*)()>(reinterpret_cast<void*>(GetProcAddress(lib, "DllRegisterServer")));
  ASSERT_EQ(reg(), S_OK);
  FreeLibrary(lib);
  const std::string selfReg = "\\Software\\Quillant Tests\\SelfReg";
  ASSERT_TRUE(ValueExists(hkCurrentUser, selfReg, dll));
  // A program server in a folder with blanks, and one of an unknown type.
  std::string exe = FDir + "\\server dir\\server.exe";
  ForceDirectories(FDir + "\\server dir");
  ASSERT_TRUE(CopyFileW(Widen(BinDir() + "\\qnt_unreg_exe.exe").c_str(), Widen(exe).c_str(), FALSE));
  std::string other = MakeFile("other.ocx");
  WriteList("ActiveX", {dll + ";0", exe + ";1", other + ";7"});

  U->RemoveActiveX();

  EXPECT_FALSE(ValueExists(hkCurrentUser, selfReg, dll));
  EXPECT_FALSE(FileExists(dll));
  EXPECT_FALSE(FileExists(other));
  EXPECT_FALSE(KeyExists(hkLocalMachine, Record("ActiveX")));
  // The server runs on its own; its record is complete once it can be read.
  std::string log;
  for (int i = 0; i < 200 && log.empty(); ++i) {
    try {
      log = ReadFileText(exe + ".log");
    } catch (const std::exception&) {
      Sleep(50);
    }
  }
  // Quoted, and hidden.
  EXPECT_EQ(log, "\"" + exe + "\" /UNREGSERVER\r\nshow " + std::to_string(SW_HIDE));
  EXPECT_EQ(Progress, (std::vector<int>{0, 50, 100}));
  EXPECT_GE(U->DirList().IndexOf(FDir + "\\server dir"), 0);
}

TEST_F(UninstallSteps, IniEntriesGoAndAnEmptiedFileWithItsFolder) {
  std::string kept = MakeFile("kept.ini", "[Colors]\r\nColor=red\r\nBackColor=blue\r\nEmpty=\r\n[Gone]\r\nA=1\r\nb=2\r\n");
  std::string emptied = MakeFile("ini only\\emptied.ini", "[Only]\r\nX=1\r\n");
  struct Rec {
    std::string name, file;
    std::vector<std::pair<std::string, std::vector<std::string>>> sections;
  } recs[] = {{"one", kept, {{"Colors", {"color"}}, {"Gone", {"A", "B"}}}},
              {"two", emptied, {{"Only", {"X"}}}},
              {"missing", FDir + "\\not there.ini", {{"S", {"Y"}}}}};
  for (const auto& r : recs) {
    std::string key = Record("INIFiles\\" + r.name);
    WriteRVStr(hkLocalMachine, key, "FilePath", r.file);
    for (const auto& s : r.sections)
      for (const auto& ident : s.second) WriteRVStr(hkLocalMachine, key + "\\Entries\\" + s.first, ident, "");
  }

  U->RemoveINIFiles();

  TIniFile ini(kept);
  TStringList colors, sections;
  ini.ReadSectionValues("Colors", &colors);
  EXPECT_EQ(colors.Text(), "BackColor=blue\r\nEmpty=\r\n");
  ini.ReadSections(&sections);
  EXPECT_EQ(sections.Text(), "Colors\r\n");
  EXPECT_FALSE(FileExists(emptied));
  EXPECT_FALSE(DirectoryExists(FDir + "\\ini only"));
  EXPECT_FALSE(KeyExists(hkLocalMachine, Record("INIFiles")));
}

TEST_F(UninstallSteps, EngineUseCount) {
  DeleteKey(hkLocalMachine, BorlandKey);
  WriteRVStr(hkLocalMachine, EngineKey, "UseCount", "3");
  WriteRVStr(hkLocalMachine, Record("BDE"), "Entries", "1");
  U->RemoveBDE();
  EXPECT_EQ(GetRVStr(hkLocalMachine, EngineKey, "UseCount", ""), "2");

  // The last user: the configuration file and the engine's keys go (with
  // their subkeys), and the Borland key once nothing else is in it.
  std::string config = MakeFile("engine\\IDAPI.CFG");
  WriteRVStr(hkLocalMachine, EngineKey, "UseCount", "1");
  WriteRVStr(hkLocalMachine, EngineKey, "CONFIGFILE01", config);
  WriteRVStr(hkLocalMachine, std::string(EngineKey) + "\\Settings\\System", "LANGDRIVER", "x");
  WriteRVStr(hkLocalMachine, std::string(EngineBLW32Key) + "\\Sub", "V", "x");
  WriteRVStr(hkLocalMachine, "\\Software\\Borland\\Delphi\\3.0", "V", "x");
  U->RemoveBDE();
  EXPECT_FALSE(FileExists(config));
  EXPECT_GE(U->DirList().IndexOf(FDir + "\\engine"), 0);
  EXPECT_FALSE(KeyExists(hkLocalMachine, EngineKey));
  EXPECT_FALSE(KeyExists(hkLocalMachine, EngineBLW32Key));
  EXPECT_TRUE(KeyExists(hkLocalMachine, BorlandKey));
  EXPECT_TRUE(KeyExists(hkLocalMachine, Record("BDE")));  // it goes with the record

  DeleteKey(hkLocalMachine, "\\Software\\Borland\\Delphi");
  WriteRVStr(hkLocalMachine, EngineKey, "UseCount", "1");
  U->RemoveBDE();
  EXPECT_FALSE(KeyExists(hkLocalMachine, BorlandKey));
}

TEST_F(UninstallSteps, AliasesThroughTheEngineLibrary) {
  std::string log = FDir + "\\idapi.log";
  SetEnvironmentVariableW(L"QNT_IDAPI_LOG", Widen(log).c_str());
  // Without the engine the aliases stay (and go with the record).
  WriteRVStr(hkLocalMachine, Record("Aliases\\Alpha"), "", "");
  WriteRVStr(hkLocalMachine, Record("Aliases\\Caf\xC3\xA9"), "", "");
  U->EngineLibrary = BinDir() + "\\bdestub\\missing.dll";
  U->RemoveAliases();
  EXPECT_TRUE(KeyExists(hkLocalMachine, Record("Aliases\\Alpha")));
  EXPECT_FALSE(FileExists(log));

  // Names in the OEM code page; the configuration saved system-wide.
  U->EngineLibrary = BinDir() + "\\bdestub\\IDAPI32.DLL";
  U->RemoveAliases();
  EXPECT_EQ(ReadLines(log), (std::vector<std::string>{"DbiInit", "DbiDeleteAlias nil Alpha",
                                                      "DbiDeleteAlias nil Caf\x82", "DbiCfgSave nil (nil) system",
                                                      "DbiExit"}));
  EXPECT_FALSE(KeyExists(hkLocalMachine, Record("Aliases")));

  // Nothing deleted: nothing saved, the engine still shut down.
  RemoveFile(log);
  U->RemoveAliases();
  EXPECT_EQ(ReadLines(log), (std::vector<std::string>{"DbiInit", "DbiExit"}));
  SetEnvironmentVariableW(L"QNT_IDAPI_LOG", nullptr);
}

TEST_F(UninstallSteps, RegistryKeyRecords) {
  const std::string base = "\\Software\\Quillant Tests\\RegistryKeys";
  DeleteKey(hkCurrentUser, base);
  const std::string atRoot = "Qnt Steps Root Value";
  struct Rec {
    const char* name;
    int root;
    std::string key;
    std::vector<std::string> entries;  // none: no Entries subkey
    bool withEntries;
  } recs[] = {
      {"values", hkCurrentUser, base + "\\A", {"V1"}, true},  // V2 is left, so A stays
      {"emptyKey", hkCurrentUser, base + "\\B", {}, false},   // empty already: deleted
      {"keyWithValue", hkCurrentUser, base + "\\C", {}, false},
      {"keyWithSubkey", hkCurrentUser, base + "\\F", {}, false},
      {"allValues", hkCurrentUser, base + "\\E", {"V1", "V2"}, true},
      {"badRoot", 6, base + "\\D", {"V1"}, true},
      {"notThere", hkCurrentUser, base + "\\Missing", {"V1"}, true},
      // A blank path names the hive's root: nothing there is deleted.
      {"blankKey", hkCurrentUser, "", {atRoot}, true},
      {"backslashKey", hkCurrentUser, "\\", {atRoot}, true},
  };
  WriteRVStr(hkCurrentUser, base + "\\A", "V1", "1");
  WriteRVStr(hkCurrentUser, base + "\\A", "V2", "2");
  {
    TRegistry empty;
    SetTheRoot(&empty, hkCurrentUser);
    ASSERT_TRUE(empty.CreateKey(base + "\\B"));
    ASSERT_TRUE(empty.CreateKey(base + "\\F\\Sub"));
  }
  WriteRVStr(hkCurrentUser, base + "\\C", "V", "1");
  WriteRVStr(hkCurrentUser, base + "\\D", "V1", "1");
  WriteRVStr(hkCurrentUser, base + "\\E", "V1", "1");
  WriteRVStr(hkCurrentUser, base + "\\E", "V2", "2");
  WriteRVStr(hkCurrentUser, "", atRoot, "1");
  for (const auto& r : recs) {
    std::string key = Record(std::string("RegistryKeys\\") + r.name);
    WriteRVStr(hkLocalMachine, key, "Key", r.key);
    WriteRVInteger(hkLocalMachine, key, "Root", r.root);
    if (r.withEntries)
      for (const auto& e : r.entries) WriteRVStr(hkLocalMachine, key + "\\Entries", e, "");
  }

  EXPECT_FALSE(U->RemoveRegistryKeys());

  EXPECT_FALSE(ValueExists(hkCurrentUser, base + "\\A", "V1"));
  EXPECT_TRUE(ValueExists(hkCurrentUser, base + "\\A", "V2"));
  EXPECT_FALSE(KeyExists(hkCurrentUser, base + "\\B"));
  EXPECT_TRUE(ValueExists(hkCurrentUser, base + "\\C", "V"));
  EXPECT_TRUE(ValueExists(hkCurrentUser, base + "\\D", "V1"));
  EXPECT_FALSE(KeyExists(hkCurrentUser, base + "\\E"));
  EXPECT_TRUE(KeyExists(hkCurrentUser, base + "\\F\\Sub"));
  EXPECT_TRUE(ValueExists(hkCurrentUser, "", atRoot));
  EXPECT_FALSE(KeyExists(hkLocalMachine, Record("RegistryKeys")));
  DeleteKey(hkCurrentUser, base);
  DeleteIdent(hkCurrentUser, "", atRoot);

  // Good records only: true.
  WriteRVStr(hkLocalMachine, Record("RegistryKeys\\x"), "Key", base + "\\C");
  WriteRVInteger(hkLocalMachine, Record("RegistryKeys\\x"), "Root", hkCurrentUser);
  EXPECT_TRUE(U->RemoveRegistryKeys());
}

TEST_F(UninstallSteps, ShellFoldersStayWhenEmptied) {
  UseOwnDesktop(FDir + "\\desktop");
  std::string desktop = ExpandDesktopDir();
  ASSERT_EQ(desktop, FDir + "\\desktop");
  ASSERT_EQ(GetFileCount(DirectoryWBS(desktop)), 0);
  std::string onDesktop = desktop + "\\Qnt Product.lnk";
  WriteFileText(onDesktop, "x");
  std::string own = MakeFile("own folder\\f.txt");
  WriteList("Files", {onDesktop, own});
  U->RemoveFiles();
  U->RemoveDirectories();
  EXPECT_FALSE(FileExists(onDesktop));
  EXPECT_TRUE(DirectoryExists(desktop));
  EXPECT_FALSE(DirectoryExists(FDir + "\\own folder"));

  // Another user's, whose settings are not loaded: found through the
  // machine's list of profiles. A record of an earlier setup that listed a
  // shortcut right in their Programs folder leaves that folder.
  const std::string profiles = "\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\S-1-5-21-7-7-7-1099";
  wchar_t profile[MAX_PATH] = {};
  ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_PROFILE, nullptr, SHGFP_TYPE_CURRENT, profile), S_OK);
  const std::string otherUser = "C:\\users\\Qnt Other User", ownProfile = Narrow(std::wstring(profile));
  WriteRVStr(hkLocalMachine, profiles, "ProfileImagePath", otherUser);
  const TScopeGuard forget([&] {
    DeleteKey(hkLocalMachine, profiles);
    RemoveTree(otherUser);
  });
  ASSERT_EQ(ExpandProgramMenuDir().rfind(ownProfile + "\\", 0), 0u) << ExpandProgramMenuDir();
  const std::string otherPrograms = otherUser + ExpandProgramMenuDir().substr(ownProfile.size());
  const std::string otherLink = otherPrograms + "\\Qnt Product.lnk";
  ForceDirectories(otherPrograms);
  WriteFileText(otherLink, "x");
  WriteList("Files", {otherLink});
  TUninstaller other(FProduct);
  other.RemoveFiles();
  other.RemoveDirectories();
  EXPECT_FALSE(FileExists(otherLink));
  EXPECT_TRUE(DirectoryExists(otherPrograms));

  wchar_t* downloads = nullptr;
  ASSERT_EQ(SHGetKnownFolderPath(FOLDERID_Downloads, KF_FLAG_DONT_VERIFY, nullptr, &downloads), S_OK);
  const std::string knownOnly = Narrow(std::wstring(downloads));
  CoTaskMemFree(downloads);
  for (const std::string& dir : {std::string("C:"), std::string("C:\\"), std::string("\\\\server\\share"),
                                 WindowsDir, SystemDir, ExpandProgramMenuDir(), ExpandStartMenuDir(),
                                 ExpandProgramFilesDir(), ExpandCommonFilesDir(), UpperCase(GetShortPath(desktop)),
                                 knownOnly, otherUser, otherPrograms})
    EXPECT_TRUE(IsShellFolder(dir)) << dir;
  EXPECT_FALSE(IsShellFolder(FDir));
  EXPECT_FALSE(IsShellFolder(otherUser + "\\Apps"));
}

TEST_F(UninstallSteps, RunTakesEveryStepThenTheRecordAndItsOwnFile) {
  std::vector<std::string> events;
  U->OnStepDone = [&](TUninstallStep s) { events.push_back("tick " + std::to_string(s)); };
  U->OnShowProgress = [&](bool v) { events.push_back(v ? "show" : "hide"); };
  U->OnMessage = [&](const std::string& t) { events.push_back(t); };
  U->OnProgress = nullptr;
  // Parts no step removes stay until the record goes with all its subkeys.
  WriteRVStr(hkLocalMachine, Record(), "DisplayName", FProduct);
  WriteRVStr(hkLocalMachine, Record("BDE"), "Entries", "1");
  WriteRVStr(hkLocalMachine, Record("Files3"), "File1", MakeFile("late.txt"));
  WriteRVStr(hkLocalMachine, Record("RegistryKeys\\bad"), "Key", "\\Software\\x");
  WriteRVInteger(hkLocalMachine, Record("RegistryKeys\\bad"), "Root", 6);
  std::string own = MakeFile("uninstall.exe");
  // A registry record it could not read stays, unticked.
  EXPECT_FALSE(U->Run(own));
  EXPECT_EQ(events, (std::vector<std::string>{"tick 0", "show", "hide", "tick 1", "show", "hide", "tick 2",
                                              "tick 3", "tick 4",
                                              "Some or all of the registry keys could not could not be removed",
                                              FProduct + " has finished removing itself"}));
  EXPECT_FALSE(KeyExists(hkLocalMachine, Record()));
  EXPECT_FALSE(FileExists(own));
}

TEST_F(UninstallSteps, RunEndsAtAnEntryThatIsNotText) {
  std::vector<std::string> events;
  U->OnStepDone = [&](TUninstallStep s) { events.push_back("tick " + std::to_string(s)); };
  U->OnShowProgress = [&](bool v) { events.push_back(v ? "show" : "hide"); };
  std::string a = MakeFile("a.txt");
  WriteList("Files", {a});
  WriteRVInteger(hkLocalMachine, Record("Files"), "File2", 5);
  std::string own = MakeFile("uninstall.exe");
  EXPECT_THROW(U->Run(own), Exception);
  EXPECT_EQ(events, (std::vector<std::string>{"tick 0", "show", "hide", "tick 1", "show", "hide"}));
  EXPECT_TRUE(KeyExists(hkLocalMachine, Record("Files")));
  EXPECT_TRUE(FileExists(own));
}

TEST_F(UninstallSteps, FilesInUseAreRemovedAtTheNextRestartAndNamed) {
  std::string own = MakeFile("uninstall.exe");
  std::string held = MakeFile("held.dll"), plain = MakeFile("plain.txt");
  WriteList("Files", {held, plain, own});
  std::vector<HANDLE> locks;
  for (const std::string& f : {own, held}) {
    locks.push_back(CreateFileW(Widen(f).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_NE(locks.back(), INVALID_HANDLE_VALUE);
  }
  std::vector<std::string> messages;
  U->OnMessage = [&](const std::string& t) { messages.push_back(t); };
  U->Run(own);
  for (HANDLE h : locks) CloseHandle(h);
  // The uninstaller's own file, though recorded, is named once, as itself.
  EXPECT_EQ(messages, (std::vector<std::string>{
                          "The uninstallation program for " + FProduct +
                          " will be removed after you reboot your computer.\n\nThese files could not be deleted now "
                          "and will be removed after you reboot your computer:\n" +
                          held}));
  EXPECT_FALSE(FileExists(plain));
  EXPECT_EQ(U->AfterBoot().Count(), 2);
  EXPECT_EQ(U->NotRemoved().Count(), 0);
  HKEY h;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager", 0, KEY_READ, &h),
            ERROR_SUCCESS);
  std::vector<wchar_t> data(65536);
  DWORD size = static_cast<DWORD>(data.size() * sizeof(wchar_t)), type = 0;
  LONG rc = RegQueryValueExW(h, L"PendingFileRenameOperations", nullptr, &type,
                             reinterpret_cast<BYTE*>(data.data()), &size);
  RegCloseKey(h);
  ASSERT_EQ(rc, ERROR_SUCCESS);
  std::wstring all(data.data(), size / sizeof(wchar_t));
  for (const std::string& f : {own, held}) EXPECT_NE(all.find(L"\\??\\" + Widen(f)), std::wstring::npos) << f;
}

TEST_F(UninstallSteps, ReadOnlyFilesTheRecordListsGoAtOnce) {
  // Copied from a CD, they kept its read-only attribute, which the restart
  // would not get past either.
  std::string file = MakeFile("from cd.txt"), server = MakeFile("from cd.ocx");
  for (const auto& f : {file, server}) ASSERT_TRUE(SetFileAttributesW(Widen(f).c_str(), FILE_ATTRIBUTE_READONLY));
  WriteList("Files", {file});
  WriteList("ActiveX", {server + ";0"});
  U->RemoveActiveX();
  U->RemoveFiles();
  EXPECT_FALSE(FileExists(file));
  EXPECT_FALSE(FileExists(server));
  EXPECT_EQ(U->AfterBoot().Count(), 0);
}

TEST_F(UninstallSteps, AFileThatCanBeNeitherDeletedNorScheduledKeepsTheEntry) {
  // A list of pending renames that is no list makes the system refuse every
  // removal at the restart, as it refuses a user without the right to ask.
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const TKeyOwner sm(key);
  // The list as it was comes back however the test ends: a broken one would
  // fail every later removal at the restart in this prefix.
  DWORD type = 0, size = 0;
  const bool had = RegQueryValueExW(sm.Get(), L"PendingFileRenameOperations", nullptr, &type, nullptr, &size) ==
                   ERROR_SUCCESS;
  std::vector<BYTE> was(size);
  if (had) RegQueryValueExW(sm.Get(), L"PendingFileRenameOperations", nullptr, &type, was.data(), &size);
  const TScopeGuard restore([&] {
    if (had)
      RegSetValueExW(sm.Get(), L"PendingFileRenameOperations", 0, type, was.data(), size);
    else
      RegDeleteValueW(sm.Get(), L"PendingFileRenameOperations");
  });
  const std::wstring notAList = L"x";
  RegSetValueExW(sm.Get(), L"PendingFileRenameOperations", 0, REG_SZ, reinterpret_cast<const BYTE*>(notAList.c_str()),
                 static_cast<DWORD>((notAList.size() + 1) * sizeof(wchar_t)));
  std::string own = MakeFile("uninstall.exe");
  std::string plain = MakeFile("plain.txt"), held = MakeFile("held.dll");
  WriteRVStr(hkLocalMachine, Record(), "DisplayName", FProduct);
  WriteList("Files", {plain, held});
  HANDLE lock = CreateFileW(Widen(held).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  std::vector<std::string> messages;
  U->OnMessage = [&](const std::string& t) { messages.push_back(t); };
  U->Run(own);
  EXPECT_EQ(messages, (std::vector<std::string>{FProduct + " could not be removed completely.\n\nThese files could "
                                                           "not be removed:\n" + held + "\n\n" + FProduct +
                                                " stays in the list of installed programs, so that you can run its "
                                                "uninstall again."}));
  EXPECT_FALSE(FileExists(plain));
  // The entry, listing what is left, and the uninstaller stay.
  EXPECT_EQ(GetRVStr(hkLocalMachine, Record(), "DisplayName", ""), FProduct);
  EXPECT_EQ(GetRVStr(hkLocalMachine, Record("Files"), "Entries", ""), "1");
  EXPECT_EQ(GetRVStr(hkLocalMachine, Record("Files"), "File1", ""), held);
  EXPECT_TRUE(FileExists(own));
  EXPECT_EQ(U->AfterBoot().Count(), 0);

  // Once the file is free, the uninstall run again takes it and the entry.
  CloseHandle(lock);
  RegDeleteValueW(sm.Get(), L"PendingFileRenameOperations");
  TUninstaller again(FProduct);
  again.Run(own);
  EXPECT_FALSE(FileExists(held));
  EXPECT_FALSE(KeyExists(hkLocalMachine, Record()));
  EXPECT_FALSE(FileExists(own));
}

TEST_F(UninstallSteps, AProductNoLongerInstalledIsSaidSoAndNothingGoes) {
  std::string own = MakeFile("uninstall.exe");
  std::vector<std::string> events;
  U->OnMessage = [&](const std::string& t) { events.push_back(t); };
  U->OnStepDone = [&](TUninstallStep s) { events.push_back("tick " + std::to_string(s)); };
  U->Run(own);
  EXPECT_EQ(events, (std::vector<std::string>{
                        FProduct + " is not installed on this computer, or it has already been removed."}));
  EXPECT_TRUE(FileExists(own));
  EXPECT_EQ(U->AfterBoot().Count(), 0);
}

TEST_F(UninstallSteps, OnlyFoldersTheSetupMadeGoAndNeverALink) {
  // The product went to <parent>\Tide, its documents to Tide\Docs. The
  // parent is the user's own folder (it was there before) or one the setup
  // made, or a link to a folder elsewhere that holds other programs.
  struct Row {
    const char* Name;
    bool Complete;                    // the record's form says it lists what was made
    std::vector<std::string> Made;    // below the parent ("" the parent itself)
    bool ParentIsLink, FileInParent;  // and a recorded file directly in it
    std::vector<std::string> Gone;
  };
  const Row rows[] = {
      {"an empty parent that was there stays", true, {"Tide", "Tide\\Docs"}, false, false, {"Tide", "Tide\\Docs"}},
      {"a parent the setup made goes", true, {"", "Tide", "Tide\\Docs"}, false, false, {"", "Tide", "Tide\\Docs"}},
      {"an earlier setup's record: its files' folders only", false, {}, false, false, {"Tide", "Tide\\Docs"}},
      {"a link above stays", true, {"Tide", "Tide\\Docs"}, true, false, {"Tide", "Tide\\Docs"}},
      {"a link listed as made stays", true, {"", "Tide", "Tide\\Docs"}, true, true, {"Tide", "Tide\\Docs"}},
      {"a link an earlier setup's file was in stays", false, {}, true, true, {"Tide", "Tide\\Docs"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Name);
    const std::string parent = FDir + "\\Apps", target = FDir + "\\elsewhere";
    ForceDirectories(target);
    if (row.ParentIsLink)
      ASSERT_TRUE(MakeFolderLink(parent, target));
    else
      ForceDirectories(parent);
    const std::string under = row.ParentIsLink ? target : parent;
    std::vector<std::string> files = {MakeFile("Apps\\Tide\\app.txt"), MakeFile("Apps\\Tide\\Docs\\read me.txt")};
    if (row.FileInParent) files.push_back(MakeFile("Apps\\top.txt"));
    WriteList("Files", files);
    std::vector<std::string> made;
    for (const auto& m : row.Made) made.push_back(m.empty() ? parent : parent + "\\" + m);
    if (!made.empty()) WriteList("Folders", made, "Folder");
    if (row.Complete) WriteRVStr(hkLocalMachine, Record(), "RecordForm", "2");

    TUninstaller u(FProduct);
    u.RemoveFiles();
    u.RemoveDirectories();
    for (const char* dir : {"", "Tide", "Tide\\Docs"}) {
      const bool gone = std::find(row.Gone.begin(), row.Gone.end(), dir) != row.Gone.end();
      EXPECT_EQ(DirectoryExists(*dir ? parent + "\\" + dir : parent), !gone) << dir;
    }
    // What the link points to is untouched.
    EXPECT_TRUE(DirectoryExists(target));
    if (row.ParentIsLink) {
      EXPECT_NE(GetFileAttributesW(Widen(parent).c_str()) & FILE_ATTRIBUTE_REPARSE_POINT, 0u);
    }
    DeleteKey(hkLocalMachine, Record());
    RemoveFolderLink(parent);
    RemoveTree(under);
    RemoveTree(target);
  }
}

TEST_F(UninstallSteps, AReadOnlyFileThatStaysSoIsNeverPromisedForTheRestart) {
  // Its attribute cannot be cleared, as on a read-only medium: the restart
  // would refuse it as this run does.
  ClearRecordedReadOnly = [](const std::string&) { return false; };
  TScopeGuard restore([] { ClearRecordedReadOnly = ClearReadOnly; });
  std::string own = MakeFile("uninstall.exe");
  std::string stays = MakeFile("from cd.txt"), plain = MakeFile("plain.txt");
  ASSERT_TRUE(SetFileAttributesW(Widen(stays).c_str(), FILE_ATTRIBUTE_READONLY));
  WriteRVStr(hkLocalMachine, Record(), "DisplayName", FProduct);
  WriteList("Files", {plain, stays});
  std::vector<std::string> events;
  U->OnMessage = [&](const std::string& t) { events.push_back(t); };
  U->OnStepDone = [&](TUninstallStep s) { events.push_back("tick " + std::to_string(s)); };
  EXPECT_FALSE(U->Run(own));
  SetFileAttributesW(Widen(stays).c_str(), FILE_ATTRIBUTE_NORMAL);
  // Every step but the files' is ticked.
  EXPECT_EQ(events, (std::vector<std::string>{"tick 0", "tick 1", "tick 3", "tick 4", "tick 5",
                                              FProduct + " could not be removed completely.\n\nThese files could "
                                                         "not be removed:\n" + stays + "\n\n" + FProduct +
                                                  " stays in the list of installed programs, so that you can run "
                                                  "its uninstall again."}));
  EXPECT_FALSE(FileExists(plain));
  EXPECT_TRUE(FileExists(stays));
  EXPECT_EQ(U->AfterBoot().Count(), 0);
  EXPECT_EQ(GetRVStr(hkLocalMachine, Record("Files"), "File1", ""), stays);
  EXPECT_TRUE(FileExists(own));
}

}  // namespace
