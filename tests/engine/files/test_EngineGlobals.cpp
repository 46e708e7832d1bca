// The engine's globals, the product directory and the uninstall record.
#include <gtest/gtest.h>

#include <windows.h>

#include "classlib/Registry.h"
#include "classlib/SysUtils.h"
#include "classlib/WinText.h"
#include "common/TestSupport.h"
#include "engine/cmp_TInstallContainer.h"
#include "foundation/routines/routines_Registry.h"

using namespace testsupport;

TEST(EngineGlobals, MadeAtStartWithTheirFirstValues) {
  ASSERT_NE(DefaultNetLocation, nullptr);
  ASSERT_NE(FormList, nullptr);
  ASSERT_NE(InstallFileList, nullptr);
  ASSERT_NE(QlntCompress, nullptr);
  ASSERT_NE(QuillantComps, nullptr);
  EXPECT_EQ(QlntCompress->Owner(), nullptr);
  EXPECT_TRUE(UniqueInstallKey.empty());
  EXPECT_FALSE(Reboot);
  EXPECT_EQ(InstallStartTime, 0);
  // Without a controller the distribution counts as a network one.
  EXPECT_EQ(GetDistributeType(), dtTraditionalNet);
  EXPECT_THROW(InstallFileList->Add(nullptr), IECustomInstallFileList);
  TInstallFile f(nullptr);
  EXPECT_EQ(InstallFileList->IndexOf(&f), InstallFileList->Count() - 1);
}

TEST(EngineGlobals, ProductDirectoryFromTheLibrarySearchPath) {
  const std::string key = "\\Software\\Borland\\Delphi\\3.0\\Library";
  std::string a = ScratchDir("qpa"), b = ScratchDir("qpb");
  WriteFileText(b + "\\Q32V25B0001.TXT", "marker");
  struct Row {
    std::string searchPath, expected;
  } rows[] = {
      {a + ";" + b + "\\", b},      // the second folder, its trailing backslash dropped
      {";" + b, b},                 // a blank folder is passed over
      {a, ""},                      // no folder holds the marker
      {"   ", ""},
  };
  for (const Row& r : rows) {
    WriteRVStr(hkCurrentUser, key, "SearchPath", r.searchPath);
    EXPECT_EQ(GetQuillantPath(false), r.expected) << r.searchPath;
    if (r.expected.empty()) {
      EXPECT_THROW(GetQuillantPath(true), IEbdeCannotFindQuillantPath);
    }
  }
  DeleteKey(hkCurrentUser, "\\Software\\Borland");
  RemoveTree(a);
  RemoveTree(b);
}

namespace {
std::string Value(const std::string& Key, const std::string& Name) {
  return GetRVStr(hkLocalMachine, Key, Name, "<none>");
}
}  // namespace

TEST(UninstallRecord, PartitionsCountsAndActiveXEntries) {
  const std::string rec = UninstallKeyFor("QntRecordTest");
  DeleteKey(hkLocalMachine, rec);
  // Two runs of three files (the second names one in other letters): each
  // path is listed once.
  for (const char* f : {"C:\\App\\A.TXT", "C:\\App\\B.TXT", "C:\\Program Files\\Q\\c d.txt", "C:\\App\\A.TXT",
                        "c:\\app\\b.txt", "C:\\Program Files\\Q\\c d.txt"})
    WriteUninstallFileEntry(rec, f);
  EXPECT_EQ(Value(rec + "\\Files", "Entries"), "3");
  // Begun by this setup: the record says that it lists what was made.
  EXPECT_EQ(Value(rec, "RecordForm"), "2");
  EXPECT_EQ(Value(rec + "\\Files", "File1"), "C:\\App\\A.TXT");
  EXPECT_EQ(Value(rec + "\\Files", "File3"), "C:\\Program Files\\Q\\c d.txt");
  EXPECT_EQ(Value(rec + "\\Files", "File4"), "<none>");
  EXPECT_EQ(Value(rec + "\\Files1", "Entries"), "<none>");
  EXPECT_TRUE(UninstallRecordLists(rec, "C:\\APP\\a.txt"));
  EXPECT_FALSE(UninstallRecordLists(rec, "C:\\App\\A.TXT.bak"));

  // A count that is no number, or a count of another type, passes the
  // partition over; the next one starts at 1.
  WriteRVStr(hkLocalMachine, rec + "\\Files", "Entries", "lots");
  WriteUninstallFileEntry(rec, "C:\\App\\E.TXT");
  EXPECT_EQ(Value(rec + "\\Files1", "File1"), "C:\\App\\E.TXT");
  EXPECT_EQ(Value(rec + "\\Files1", "Entries"), "1");
  WriteRVInteger(hkLocalMachine, rec + "\\Files1", "Entries", 5);
  WriteUninstallFileEntry(rec, "C:\\App\\F.TXT");
  EXPECT_EQ(Value(rec + "\\Files1", "File1"), "C:\\App\\E.TXT");
  EXPECT_EQ(Value(rec + "\\Files2", "File1"), "C:\\App\\F.TXT");

  WriteUninstallActiveXEntry(rec, "C:\\App\\X.OCX", false);
  WriteUninstallActiveXEntry(rec, "C:\\App\\S.EXE", true);
  EXPECT_EQ(Value(rec + "\\ActiveX", "File1"), "C:\\App\\X.OCX;0");
  EXPECT_EQ(Value(rec + "\\ActiveX", "File2"), "C:\\App\\S.EXE;1");
  EXPECT_EQ(Value(rec + "\\ActiveX", "Entries"), "2");
  // Installed again: listed once; an entry another run wrote meanwhile is
  // seen too.
  WriteUninstallActiveXEntry(rec, "C:\\App\\X.OCX", false);
  WriteRVStr(hkLocalMachine, rec + "\\ActiveX", "File3", "C:\\App\\Y.OCX;0");
  WriteRVStr(hkLocalMachine, rec + "\\ActiveX", "Entries", "3");
  WriteUninstallActiveXEntry(rec, "C:\\App\\Y.OCX", false);
  EXPECT_EQ(Value(rec + "\\ActiveX", "Entries"), "3");
  EXPECT_TRUE(UninstallRecordLists(rec, "C:\\App\\S.EXE"));
  DeleteKey(hkLocalMachine, rec);
}

// The count as other tools may have left it, or as an uninstall or a run
// stopped halfway left it: each form either numbers the next entry on (in
// the same partition, never over a value there) or passes the partition
// over.
TEST(UninstallRecord, StoredCountForms) {
  const std::string rec = UninstallKeyFor("QntRecordCountTest");
  const std::wstring files = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QntRecordCountTest\\Files";
  constexpr DWORD NoCount = REG_NONE + 100;
  struct Case {
    DWORD Type;
    std::wstring Data;  // stored with its terminator
    const char* Partition;
    const char* Name;
    int Earlier = 0;  // File1 .. File<Earlier> there already
  } cases[] = {
      {NoCount, L"", "Files", "File4", 3},   // an uninstall stopped after taking the count
      {REG_SZ, L"1", "Files", "File4", 3},   // a run stopped before raising it
      {REG_SZ, L"7", "Files", "File8"},
      {REG_SZ, L" 12 ", "Files", "File13"},
      {REG_SZ, std::wstring(60, L'0') + L"3", "Files", "File4"},  // longer than any usual count
      {REG_SZ, std::wstring(L"4\0" L"99", 4), "Files", "File5"},  // ends at its first terminator
      {REG_SZ, L"", "Files1", "File1"},
      {REG_SZ, L"-2", "Files1", "File1"},
      {REG_SZ, std::wstring(60, L'9'), "Files1", "File1"},
      {REG_EXPAND_SZ, L"3", "Files1", "File1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.Data));
    DeleteKey(hkLocalMachine, rec);
    HKEY k = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, files.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
              ERROR_SUCCESS);
    if (c.Type != NoCount)
      RegSetValueExW(k, L"Entries", 0, c.Type, reinterpret_cast<const BYTE*>(c.Data.c_str()),
                     static_cast<DWORD>((c.Data.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(k);
    for (int i = 1; i <= c.Earlier; ++i)
      WriteRVStr(hkLocalMachine, rec + "\\Files", "File" + std::to_string(i), "C:\\App\\" + std::to_string(i));
    WriteUninstallFileEntry(rec, "C:\\App\\N.TXT");
    const std::string key = rec + "\\" + c.Partition;
    EXPECT_EQ(Value(key, c.Name), "C:\\App\\N.TXT");
    EXPECT_EQ(Value(key, "Entries"), std::string(c.Name).substr(4));
    for (int i = 1; i <= c.Earlier; ++i)
      EXPECT_EQ(Value(rec + "\\Files", "File" + std::to_string(i)), "C:\\App\\" + std::to_string(i));
    // Begun by an earlier setup: it keeps its form.
    EXPECT_EQ(Value(rec, "RecordForm"), "<none>");
  }
  DeleteKey(hkLocalMachine, rec);
}
