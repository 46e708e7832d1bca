// The program uninstall, started as Windows starts a product's
// UninstallString, driven from here as a user would: Start, the questions,
// the closing message; for records written here and for products that the
// setup program installed. Each test runs in a prefix of its own.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "classlib/Handles.h"
#include "classlib/Registry.h"
#include "classlib/SysUtils.h"
#include "classlib/WinText.h"
#include "common/ForeignWindow.h"
#include "common/PageRunner.h"
#include "common/TestSupport.h"
#include "engine/cmp_TInstallContainer.h"
#include "foundation/routines/routines_API.h"
#include "foundation/routines/routines_ExpandPaths.h"
#include "foundation/routines/routines_ProductLock.h"
#include "foundation/routines/routines_Registry.h"
#include "foundation/routines/routines_Strings.h"
#include "uninstaller/UninstallCore.h"
#include "uninstaller/OwnDesktop.h"
#include "uninstaller/RoundTripSupport.h"

using namespace testsupport;

namespace {

std::string PendingRenames() {
  HKEY h;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager", 0, KEY_READ, &h) !=
      ERROR_SUCCESS)
    return {};
  std::vector<wchar_t> data(65536);
  DWORD size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
  LONG rc = RegQueryValueExW(h, L"PendingFileRenameOperations", nullptr, nullptr,
                             reinterpret_cast<BYTE*>(data.data()), &size);
  RegCloseKey(h);
  if (rc != ERROR_SUCCESS) return {};
  std::wstring all(data.data(), size / sizeof(wchar_t));
  for (auto& c : all)
    if (c == L'\0') c = L'|';
  return Narrow(all);
}

// The shown window captioned Caption; not the application's hidden window
// nor a message box, which carry the same title.
HWND ShownWindow(const std::string& Caption) {
  for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, nullptr, Widen(Caption).c_str()));) {
    wchar_t cls[64] = {};
    GetClassNameW(w, cls, 64);
    if (IsWindowVisible(w) && lstrcmpW(cls, L"#32770") != 0) return w;
  }
  return nullptr;
}

// The uninstaller window's progress bar as a question of the file step finds
// it: where it is in the window's client area, whether it shows, its position.
struct TBarSeen {
  RECT Place{};
  bool Visible = false;
  int Position = -1;
};

BOOL CALLBACK FindProgressBar(HWND W, LPARAM L) {
  wchar_t cls[64];
  GetClassNameW(W, cls, 64);
  if (lstrcmpiW(cls, PROGRESS_CLASSW) != 0) return TRUE;
  *reinterpret_cast<HWND*>(L) = W;
  return FALSE;
}

TBarSeen ProgressBarOf(const std::string& Caption) {
  TBarSeen seen;
  HWND form = ShownWindow(Caption);
  HWND bar = nullptr;
  EnumChildWindows(form, FindProgressBar, reinterpret_cast<LPARAM>(&bar));
  if (!bar) return seen;
  GetWindowRect(bar, &seen.Place);
  MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&seen.Place), 2);
  seen.Visible = IsWindowVisible(bar);
  seen.Position = static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0));
  return seen;
}

// Starts the uninstaller from Line as the system starts an UninstallString,
// presses Start in the window of Product, answers each question by Answer
// and the closing message by OK; returns every box's text. The program ends
// with ExitCode.
std::vector<std::string> Uninstall(const std::string& Line, const std::string& Product,
                                   const std::function<int(const std::string&)>& Answer, long ExitCode = 0) {
  TChildProcess p(Line);
  EXPECT_TRUE(p.Started());
  if (!p.Started()) return {};
  EXPECT_TRUE(ClickForeignButton(p.Pid(), "Remove " + Product, "&Start", 30000));
  std::vector<std::string> texts;
  for (;;) {
    TForeignBox box = AnswerForeignDialog(p.Pid(), Answer, 30000);
    if (!box.Found) break;
    texts.push_back(box.Text);
    // Every box is titled with the product.
    EXPECT_EQ(box.Caption, "Remove " + Product) << box.Text;
    if (box.Text.find("will be removed after you reboot") != std::string::npos ||
        box.Text.find("has finished removing itself") != std::string::npos ||
        box.Text.find("could not be removed completely") != std::string::npos)
      break;
  }
  EXPECT_EQ(p.Wait(30000), ExitCode);
  return texts;
}

std::string Question(const std::string& Path) {
  return "Uninstall has determined that the file " + Path +
         " is no longer used by an application. Is it o.k. to delete it?";
}

std::string RestartMessage(const std::string& Product) {
  return "The uninstallation program for " + Product + " will be removed after you reboot your computer.";
}

// A step's check box as the window shows it.
struct TStepBox {
  std::string Text;
  LONG Top;
  bool Ticked;
};

BOOL CALLBACK AddStepBox(HWND W, LPARAM L) {
  wchar_t cls[64];
  GetClassNameW(W, cls, 64);
  LONG kind = GetWindowLongW(W, GWL_STYLE) & BS_TYPEMASK;
  if (lstrcmpiW(cls, L"BUTTON") != 0 || (kind != BS_AUTOCHECKBOX && kind != BS_CHECKBOX) || !IsWindowVisible(W))
    return TRUE;
  wchar_t text[128];
  GetWindowTextW(W, text, 128);
  RECT r;
  GetWindowRect(W, &r);
  MapWindowPoints(nullptr, GetAncestor(W, GA_ROOT), reinterpret_cast<POINT*>(&r), 2);
  reinterpret_cast<std::vector<TStepBox>*>(L)->push_back(
      {Narrow(std::wstring(text)), r.top, SendMessageW(W, BM_GETCHECK, 0, 0) == BST_CHECKED});
  return TRUE;
}

std::vector<TStepBox> StepBoxesOf(const std::string& Caption) {
  std::vector<TStepBox> boxes;
  EnumChildWindows(ShownWindow(Caption), AddStepBox, reinterpret_cast<LPARAM>(&boxes));
  return boxes;
}

// The shown check boxes of the window captioned Caption that show a tick, sorted.
std::vector<std::string> TickedBoxesOf(const std::string& Caption) {
  std::vector<std::string> ticked;
  for (const TStepBox& b : StepBoxesOf(Caption))
    if (b.Ticked) ticked.push_back(b.Text);
  std::sort(ticked.begin(), ticked.end());
  return ticked;
}

// The steps the window lists, from the top, each with its place.
std::vector<std::string> ListedStepsOf(const std::string& Caption) {
  std::vector<TStepBox> boxes = StepBoxesOf(Caption);
  std::sort(boxes.begin(), boxes.end(), [](const TStepBox& A, const TStepBox& B) { return A.Top < B.Top; });
  std::vector<std::string> listed;
  for (const TStepBox& b : boxes) listed.push_back(b.Text + " at " + std::to_string(b.Top));
  return listed;
}

// A product installed into "<scratch>\Program Files\Qnt App", with the
// uninstaller there and its record written as the setup program writes it
// (but for the UninstallString).
class UninstallProgram : public ::testing::Test {
protected:
  void SetUp() override {
    FRoot = ScratchDir("uninstall program");
    FApp = FRoot + "\\Program Files\\Qnt App";
    ForceDirectories(FApp);
    FOwn = CopyProgram("uninstall.exe", FApp, "uninstall.exe");
  }
  void TearDown() override {
    DeleteKey(hkLocalMachine, std::string(UninstallRootKey) + Product);
    RemoveTree(FRoot);
  }
  std::string Key(const std::string& Sub = "") const {
    return std::string(UninstallRootKey) + Product + (Sub.empty() ? "" : "\\" + Sub);
  }
  std::string File(const std::string& Name) const {
    std::string path = FApp + "\\" + Name;
    ForceDirectories(ExtractFileDir(path));
    WriteFileText(path, "x");
    return path;
  }
  void WriteRecord(const std::vector<std::string>& Files, const std::vector<std::string>& ActiveX) const {
    WriteRVStr(hkLocalMachine, Key(), "DisplayName", Product);
    WriteRVStr(hkLocalMachine, Key(), "UninstallString", UninstallString());
    for (size_t i = 0; i < Files.size(); ++i) WriteRVStr(hkLocalMachine, Key("Files"), "File" + std::to_string(i + 1), Files[i]);
    WriteRVStr(hkLocalMachine, Key("Files"), "Entries", std::to_string(Files.size()));
    for (size_t i = 0; i < ActiveX.size(); ++i)
      WriteRVStr(hkLocalMachine, Key("ActiveX"), "File" + std::to_string(i + 1), ActiveX[i]);
  }
  // Nothing quoted, as other tools record it (the setup program quotes the
  // path; the round trip starts the program from that form).
  std::string UninstallString() const { return FOwn + " " + Product; }

  std::string Product = "Qnt Program Test";
  std::string FRoot, FApp, FOwn;
};

int YesUnlessKeep(const std::string& Text) { return Text.find("keep") != std::string::npos ? IDNO : IDYES; }

TEST_F(UninstallProgram, FromTheUnquotedUninstallString) {
  std::string plain = File("app.txt");
  std::string sharedYes = File("shared.dll");
  std::string sharedKeep = File("shared keep.dll");
  std::string link = File("Start Menu\\Programs\\Qnt App\\App.lnk");
  std::string notOurs = File("not ours.txt");
  WriteRVInteger(hkLocalMachine, SharedDLLsKey, sharedYes, 1);
  WriteRVInteger(hkLocalMachine, SharedDLLsKey, sharedKeep, 1);
  // A self-registering server, registered as the setup program does.
  std::string server = FApp + "\\server.dll";
  ASSERT_TRUE(CopyFileW(Widen(BinDir() + "\\qnt_unreg_dll.dll").c_str(), Widen(server).c_str(), FALSE));
  HMODULE lib = LoadLibraryW(Widen(server).c_str());
  ASSERT_TRUE(lib);
  auto reg = reinterpret_cast<HRESULT(WINAPI*)()>(reinterpret_cast<void*>(GetProcAddress(lib, "DllRegisterServer")));
  ASSERT_EQ(reg(), S_OK);
  FreeLibrary(lib);
  const std::string selfReg = "\\Software\\Quillant Tests\\SelfReg";
  ASSERT_EQ(GetRVInteger(hkCurrentUser, selfReg, server, 0), 1);
  WriteRecord({plain, sharedYes, sharedKeep, link}, {server + ";0"});

  // Each question of the file step comes with the progress bar shown at the
  // file's place among the four; the first also gives a picture to look at.
  // The window lists the steps of this record only, one under the other.
  std::vector<TBarSeen> bars;
  std::vector<std::string> listed;
  std::vector<std::string> texts = Uninstall(
      UninstallString(), Product,
      [&](const std::string& Text) {
        if (Text.find("Is it o.k.") != std::string::npos) {
          if (listed.empty()) listed = ListedStepsOf("Remove " + Product);
          bars.push_back(ProgressBarOf("Remove " + Product));
          if (const char* shot = std::getenv("QNT_SCREENSHOT"); shot && bars.size() == 1)
            Screenshot(ShownWindow("Remove " + Product), shot);
        }
        return YesUnlessKeep(Text);
      },
      uoFilesLeft);
  EXPECT_EQ(listed, (std::vector<std::string>{"ActiveX/OCX components at 72", "Files at 102", "Registry entries at 133"}));
  ASSERT_EQ(bars.size(), 2u);
  for (size_t i = 0; i < bars.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_TRUE(bars[i].Visible);
    EXPECT_EQ(bars[i].Position, i == 0 ? 33 : 67);
    EXPECT_EQ((std::vector<LONG>{bars[i].Place.left, bars[i].Place.top, bars[i].Place.right, bars[i].Place.bottom}),
              (std::vector<LONG>{144, 248, 144 + 313, 248 + 16}));
  }

  // What the user kept and a file of the user's keep the product's folder:
  // named, and the exit code says so. A record of this form names no folder
  // the setup made, so only the link's own folder goes, not its parents.
  EXPECT_EQ(texts, (std::vector<std::string>{Question(sharedYes), Question(sharedKeep),
                                             RestartMessage(Product) + "\n\nThe folder " + FApp +
                                                 " stays, as it still holds:\n" + FApp + "\\Start Menu\n" +
                                                 notOurs + "\n" + sharedKeep}));
  EXPECT_TRUE(DirectoryExists(FApp + "\\Start Menu\\Programs"));
  EXPECT_FALSE(FileExists(plain));
  EXPECT_FALSE(FileExists(sharedYes));
  EXPECT_TRUE(FileExists(sharedKeep));
  EXPECT_EQ(GetRVInteger(hkLocalMachine, SharedDLLsKey, sharedKeep, 0), 1);
  EXPECT_FALSE(FileExists(link));
  EXPECT_FALSE(DirectoryExists(FApp + "\\Start Menu\\Programs\\Qnt App"));
  EXPECT_TRUE(FileExists(notOurs));
  EXPECT_FALSE(FileExists(server));
  EXPECT_EQ(GetRVInteger(hkCurrentUser, selfReg, server, 0), 0);
  EXPECT_FALSE(KeyExists(hkLocalMachine, Key()));
  EXPECT_NE(PendingRenames().find("\\??\\" + FOwn), std::string::npos) << PendingRenames();
  DeleteIdent(hkLocalMachine, SharedDLLsKey, sharedKeep);
}

TEST_F(UninstallProgram, QuotedPathOnTheWindows95Family) {
  SetReportedWindowsVersion("uninstall.exe", "win95");
  std::string wininit = DirectoryWBS(WindowsDir) + "WININIT.INI";
  RemoveFile(wininit);
  std::string plain = File("app.txt");
  WriteRecord({plain}, {});

  std::vector<std::string> texts = Uninstall("\"" + FOwn + "\" " + Product, Product, YesUnlessKeep);

  EXPECT_EQ(texts, (std::vector<std::string>{RestartMessage(Product)}));
  EXPECT_FALSE(FileExists(plain));
  EXPECT_FALSE(KeyExists(hkLocalMachine, Key()));
  EXPECT_EQ(ReadLines(wininit), (std::vector<std::string>{"[RENAME]", "Nul=" + GetShortPath(FOwn)}));
  EXPECT_EQ(PendingRenames().find(FOwn), std::string::npos);
}

TEST_F(UninstallProgram, WithoutAProductOnlyCloseWorks) {
  WriteRecord({File("app.txt")}, {});
  TChildProcess p(FOwn);
  ASSERT_TRUE(p.Started());
  TForeignBox box = AnswerForeignDialog(p.Pid(), [](const std::string&) { return IDOK; }, 30000);
  // The class library's error box ends the message with a full stop; it is
  // captioned with the program's title, its file name.
  EXPECT_EQ(box.Text, "Please remove this software from the Add/Remove Programs from the Control Panel.");
  // Captioned as the window.
  EXPECT_EQ(box.Caption, "Uninstall program");
  EXPECT_FALSE(ClickForeignButton(p.Pid(), "Uninstall program", "&Start", 30000));
  EXPECT_TRUE(ClickForeignButton(p.Pid(), "Uninstall program", "&Close", 30000));
  EXPECT_EQ(p.Wait(30000), uoNotInstalled);
  EXPECT_TRUE(FileExists(FApp + "\\app.txt"));
  EXPECT_TRUE(KeyExists(hkLocalMachine, Key()));
}

TEST_F(UninstallProgram, AFileInUseGoesAtTheRestartAndTheEmptiedFoldersWithIt) {
  // The product's folder lies in a maker's folder ("Program Files" here),
  // beside the folder of another product; the setup made the product's
  // folder and those in it.
  std::string plain = File("app.txt");
  std::string held = File("Data\\Cache\\held.dat");
  const std::string sibling = FRoot + "\\Qnt Sibling\\other.txt";
  ForceDirectories(ExtractFileDir(sibling));
  WriteFileText(sibling, "x");
  WriteRecord({plain, held}, {});
  WriteRVStr(hkLocalMachine, Key(), "RecordForm", "2");
  const std::vector<std::string> made = {FApp, FApp + "\\Data", FApp + "\\Data\\Cache"};
  for (size_t i = 0; i < made.size(); ++i)
    WriteRVStr(hkLocalMachine, Key("Folders"), "Folder" + std::to_string(i + 1), made[i]);
  // Held open without delete sharing, as a running program holds its files.
  HANDLE lock = CreateFileW(Widen(held).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);

  // Removed, but for a file that goes at the restart: the exit code says so.
  std::vector<std::string> texts = Uninstall(
      UninstallString(), Product,
      [](const std::string& Text) {
        if (const char* shot = std::getenv("QNT_SCREENSHOT")) Screenshot(GetForegroundWindow(), shot);
        return YesUnlessKeep(Text);
      },
      uoRemovedAtRestart);
  CloseHandle(lock);

  EXPECT_EQ(texts, (std::vector<std::string>{RestartMessage(Product) +
                                             "\n\nThese files could not be deleted now and will be removed after "
                                             "you reboot your computer:\n" +
                                             held}));
  EXPECT_FALSE(FileExists(plain));
  EXPECT_TRUE(FileExists(held));
  EXPECT_FALSE(KeyExists(hkLocalMachine, Key()));
  // The restart: the file, the uninstaller and the product's folders go;
  // the maker's folder, which the setup did not make, stays emptied, and
  // the folder of the other product stays.
  ASSERT_EQ(RunAndWait("wineboot.exe -r", "", 180000), 0);
  EXPECT_FALSE(FileExists(held));
  EXPECT_FALSE(FileExists(FOwn));
  EXPECT_FALSE(DirectoryExists(FApp + "\\Data"));
  EXPECT_FALSE(DirectoryExists(FApp));
  EXPECT_TRUE(DirectoryExists(FRoot + "\\Program Files"));
  EXPECT_TRUE(FileExists(sibling));
}

TEST_F(UninstallProgram, AProductNoLongerInstalledIsSaidSo) {
  TChildProcess p(UninstallString());
  ASSERT_TRUE(p.Started());
  TForeignBox box = AnswerForeignDialog(p.Pid(), [](const std::string&) { return IDOK; }, 30000);
  EXPECT_EQ(box.Text, Product + " is not installed on this computer, or it has already been removed.");
  EXPECT_EQ(box.Caption, "Remove " + Product);
  EXPECT_FALSE(ClickForeignButton(p.Pid(), "Remove " + Product, "&Start", 30000));
  EXPECT_TRUE(ClickForeignButton(p.Pid(), "Remove " + Product, "&Close", 30000));
  EXPECT_EQ(p.Wait(30000), uoNotInstalled);
  // Its own file stays: nothing it removes.
  EXPECT_TRUE(FileExists(FOwn));
  EXPECT_EQ(PendingRenames().find(FOwn), std::string::npos);
}

TEST_F(UninstallProgram, ClosedWithoutStartItSaysWhyAndEndsWithItsCode) {
  // A setup of the product as it leaves its key and the record while it
  // waits for the restart, and as it leaves them once that is over.
  const std::string setupKey = "\\SOFTWARE\\Quillant\\Install\\Install7";
  const std::string setup = FRoot + "\\work\\Quillant20.exe";
  const struct {
    const char* Name;
    bool Named, Jobs, Continuation, KeyGone;
    long Code;
  } rows[] = {
      {"no setup named", false, false, false, false, uoCancelled},
      {"its jobs wait", true, true, false, false, uoSetupWaits},
      {"its restart waits", true, false, true, false, uoSetupWaits},
      // A later run of the program ended well and took the key.
      {"its key gone", true, false, true, true, uoSetupWaits},
      {"it finished", true, false, false, false, uoCancelled},
  };
  const std::string app = File("app.txt");
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Name);
    WriteRecord({app}, {});
    if (row.Named) WriteRVStr(hkLocalMachine, Key(), SetupWaitsValueName, setupKey);
    if (!row.KeyGone) WriteRVStr(hkLocalMachine, setupKey, "Path", setup);
    if (row.Jobs) WriteRVStr(hkLocalMachine, setupKey + "\\Unfinished", "AppFile", "0");
    if (row.Continuation)
      WriteRVStr(hkLocalMachine, RunOnceKey, "QuillantUnfinished", "\"" + setup + "\" *ABOOT *NOSELFEXTRACT setup.exe C:\\d");
    TChildProcess p(UninstallString());
    ASSERT_TRUE(p.Started());
    // Pictures to look at, when asked for: the window, and the box that
    // refuses.
    const char* shot = std::getenv("QNT_SCREENSHOT");
    if (row.Code == uoSetupWaits) {
      TForeignBox box = AnswerForeignDialog(
          p.Pid(),
          [&](const std::string&) {
            if (shot && row.Jobs) Screenshot(GetForegroundWindow(), std::string(shot) + ".box.png");
            return IDOK;
          },
          30000);
      EXPECT_EQ(box.Text, SetupWaitsMessage(Product));
      EXPECT_EQ(box.Caption, "Remove " + Product);
      EXPECT_FALSE(ClickForeignButton(p.Pid(), "Remove " + Product, "&Start", 30000));
    } else if (shot && !row.Named) {
      for (int i = 0; i < 300 && !ShownWindow("Remove " + Product); ++i) Sleep(100);
      Screenshot(ShownWindow("Remove " + Product), shot);
    }
    EXPECT_TRUE(ClickForeignButton(p.Pid(), "Remove " + Product, "&Close", 30000));
    EXPECT_EQ(p.Wait(30000), row.Code);
    EXPECT_TRUE(FileExists(app));
    EXPECT_TRUE(KeyExists(hkLocalMachine, Key()));
    DeleteKey(hkLocalMachine, "\\SOFTWARE\\Quillant");
    DeleteIdent(hkLocalMachine, RunOnceKey, "QuillantUnfinished");
  }
}

TEST_F(UninstallProgram, AnEntryThatIsNotTextEndsTheRunAndLeavesTheRest) {
  std::string plain = File("app.txt");
  WriteRecord({plain}, {});
  WriteRVInteger(hkLocalMachine, Key("Files"), "File2", 5);
  TChildProcess p(UninstallString());
  ASSERT_TRUE(p.Started());
  ASSERT_TRUE(ClickForeignButton(p.Pid(), "Remove " + Product, "&Start", 30000));
  // The error's box; then the window stays with only Close working.
  TForeignBox box = AnswerForeignDialog(p.Pid(), [](const std::string&) { return IDOK; }, 30000);
  EXPECT_TRUE(box.Found);
  EXPECT_NE(box.Text.find("File2"), std::string::npos) << box.Text;
  // The record lists files only: no step it shows was done.
  EXPECT_EQ(TickedBoxesOf("Remove " + Product), std::vector<std::string>{});
  EXPECT_FALSE(ClickForeignButton(p.Pid(), "Remove " + Product, "&Start", 30000));
  EXPECT_TRUE(ClickForeignButton(p.Pid(), "Remove " + Product, "&Close", 30000));
  // What the record still names stays: a script sees it.
  EXPECT_EQ(p.Wait(30000), 1);
  EXPECT_FALSE(FileExists(plain));
  EXPECT_TRUE(KeyExists(hkLocalMachine, Key("Files")));
  EXPECT_TRUE(FileExists(FOwn));
  EXPECT_EQ(PendingRenames().find(FOwn), std::string::npos);
}

TEST_F(UninstallProgram, AFileThatStaysLeavesItsStepUntickedAndTheExitCodeOne) {
  // A list of pending renames that is no list makes the system refuse every
  // removal at the restart; the held file can then go neither now nor then.
  HKEY sm;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager", 0, nullptr,
                            0, KEY_ALL_ACCESS, nullptr, &sm, nullptr),
            ERROR_SUCCESS);
  TScopeGuard restore([sm] {
    RegDeleteValueW(sm, L"PendingFileRenameOperations");
    RegCloseKey(sm);
  });
  const std::wstring notAList = L"x";
  RegSetValueExW(sm, L"PendingFileRenameOperations", 0, REG_SZ, reinterpret_cast<const BYTE*>(notAList.c_str()),
                 static_cast<DWORD>((notAList.size() + 1) * sizeof(wchar_t)));
  std::string plain = File("app.txt"), held = File("held.dat");
  WriteRecord({plain, held}, {});
  HANDLE lock = CreateFileW(Widen(held).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  std::vector<std::string> ticked;
  std::vector<std::string> texts = Uninstall(
      UninstallString(), Product,
      [&](const std::string&) {
        ticked = TickedBoxesOf("Remove " + Product);
        return IDOK;
      },
      1);
  CloseHandle(lock);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0].rfind(Product + " could not be removed completely.", 0), 0u) << texts[0];
  EXPECT_EQ(texts[0].find("after you reboot"), std::string::npos) << texts[0];
  EXPECT_EQ(ticked, (std::vector<std::string>{"Registry entries"}));
  EXPECT_FALSE(FileExists(plain));
  EXPECT_TRUE(KeyExists(hkLocalMachine, Key()));
}

TEST_F(UninstallProgram, TheWizardDriverAnswersAsEnterDoes) {
  // The question's default is Yes: a shared file that nothing uses any more
  // goes, as it does for a user who presses Enter.
  std::string shared = File("shared.dll");
  WriteRVInteger(hkLocalMachine, SharedDLLsKey, shared, 1);
  WriteRecord({shared}, {});
  const char* tmp = std::getenv("TMPDIR");
  ASSERT_TRUE(tmp && *tmp == '/') << "TMPDIR names no Unix folder";
  const std::string shots = std::string(tmp) + "/driver-uninstall";
  CreateDirectoryW(Widen("Z:" + shots).c_str(), nullptr);
  EXPECT_EQ(RunAndWait("\"" + BinDir() + "\\qnt_wizard_driver.exe\" uninstall " + shots + " \"" + FOwn + "\" " +
                           Product,
                       "", 180000),
            0);
  EXPECT_FALSE(FileExists(shared));
  EXPECT_EQ(GetRVInteger(hkLocalMachine, SharedDLLsKey, shared, NoSharedCount), NoSharedCount);
  EXPECT_FALSE(KeyExists(hkLocalMachine, Key()));
}

// Every path the record of Product lists: its servers (without their type)
// and its files and shortcuts (or the paths of the lists Parts), sorted.
std::vector<std::string> RecordedPaths(const std::string& Product, const std::vector<std::string>& Parts = {}) {
  std::vector<std::string> paths;
  auto read = [&](const std::string& Part) {
    TRegistry reg(KEY_READ);
    SetTheRoot(&reg, hkLocalMachine);
    if (!reg.OpenKeyReadOnly(std::string(UninstallRootKey) + Product + "\\" + Part)) return false;
    TStringList names;
    reg.GetValueNames(&names);
    for (int i = 0; i < names.Count(); ++i)
      if (names[i] != "Entries") paths.push_back(srExtract(reg.ReadString(names[i]), 1, ';'));
    return true;
  };
  for (const auto& part : Parts) read(part);
  if (Parts.empty()) read("ActiveX");
  for (int j = 0; Parts.empty() && read(j ? "Files" + std::to_string(j) : "Files"); ++j) {
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

// Two products installed by the setup program from one archive: "Qnt Round
// Trip" (files, one in a folder of its own, a counted shared library, a
// self-registering server, a shortcut in its Start menu folder and one on
// the desktop, the uninstaller) and "Qnt Other Product" (a file, the same
// shared library, its uninstaller).
class UninstallRoundTrip : public RoundTripFolders {
protected:
  void SetUp() override {
    RoundTripFolders::SetUp();
    Dest = ExpandProgramFilesDir() + "\\" + Product;
    Shared = ExpandCommonFilesDir() + "\\Qnt Shared\\QNTSHARE.DLL";
    UseOwnDesktop("C:\\users\\Qnt Desktop");
    ASSERT_EQ(ExpandDesktopDir(), "C:\\users\\Qnt Desktop");
    ASSERT_EQ(GetFileCount(DirectoryWBS(ExpandDesktopDir())), 0);
  }
  // Runs the setup program linked with Module as the loader starts it; the
  // file component Uncounted (if any) does not count its shared file.
  void Install(const std::string& Module, const std::string& Uncounted = "") {
    std::string program = CopyProgram("qnt_" + Module + ".exe", FWork, Module + ".exe");
    if (!Uncounted.empty()) SetEnvironmentVariableW(L"QNT_UNCOUNTED", Widen(Uncounted).c_str());
    EXPECT_EQ(RunAndWait("\"" + program + "\" *NOTSELFEXTRACT setup.exe " + FDist, FWork, 120000), 0) << Module;
    SetEnvironmentVariableW(L"QNT_UNCOUNTED", nullptr);
  }
  // Every path the product's record lists, sorted; and the folders its
  // setup made, not the shell folders they are in.
  std::vector<std::string> ProductPaths() const {
    return Sorted({Dest + "\\APP.TXT", Dest + "\\Docs\\README.TXT", Shared, Dest + "\\QNTREG.DLL",
                   ExpandProgramMenuDir() + "\\Qnt Round Trip\\Qnt App.lnk",
                   ExpandDesktopDir() + "\\Qnt Round Trip.lnk"});
  }
  std::vector<std::string> ProductFolders() const {
    return Sorted({Dest, Dest + "\\Docs", ExtractFileDir(Shared), ExpandProgramMenuDir() + "\\" + Product});
  }
  static std::vector<std::string> Sorted(std::vector<std::string> Paths) {
    std::sort(Paths.begin(), Paths.end());
    return Paths;
  }
  // The settings before the first install. Wine writes the paths of some
  // known folders the first time a program asks for them, as the
  // uninstaller does; the copy of the build's prefix may hold other tests'
  // setup keys and restart jobs: none here.
  static std::map<std::string, std::string> SettingsBefore() {
    ShellFolderKeys();
    DeleteKey(hkLocalMachine, "\\SOFTWARE\\Quillant");
    DeleteIdent(hkLocalMachine, "\\System\\CurrentControlSet\\Control\\Session Manager",
                "PendingFileRenameOperations");
    return SoftwareSettings();
  }
  // What installs and their uninstalls change in them: the key that the
  // test's server keeps when it unregisters, and the uninstallers' removal
  // at the restart.
  static std::vector<std::string> SettingsLeft() {
    return {"+ HKCU\\Software\\Quillant Tests\\", "+ HKCU\\Software\\Quillant Tests\\SelfReg\\",
            "+ System\\CurrentControlSet\\Control\\Session Manager\\:PendingFileRenameOperations"};
  }
  static std::string UninstallString(const std::string& P) {
    return GetRVStr(hkLocalMachine, std::string(UninstallRootKey) + P, "UninstallString", "");
  }

  const std::string Product = "Qnt Round Trip", Other = "Qnt Other Product";
  const std::string SelfReg = "\\Software\\Quillant Tests\\SelfReg";
  std::string Dest, Shared;
};

TEST_F(UninstallRoundTrip, TwoProductsShareALibraryAndAreRemovedOneAfterTheOther) {
  const auto settings = SettingsBefore();
  // Its first version installed the library without counting it.
  Install("roundtrip_product", "SharedFile");
  ASSERT_EQ(GetRVInteger(hkLocalMachine, SharedDLLsKey, Shared, NoSharedCount), NoSharedCount);
  Install("roundtrip_other");
  // Installed again, twice: the product lists each file once and counts the
  // library once, though its record listed the library before it counted it.
  Install("roundtrip_product");
  Install("roundtrip_product");
  const std::string server = Dest + "\\QNTREG.DLL";
  const std::vector<std::string> recorded = RecordedPaths(Product);
  ASSERT_EQ(recorded, ProductPaths());
  for (const auto& path : recorded) ASSERT_TRUE(FileExists(path)) << path;
  ASSERT_EQ(GetRVInteger(hkLocalMachine, SharedDLLsKey, Shared, 0), 2);
  ASSERT_EQ(GetRVInteger(hkCurrentUser, SelfReg, server, 0), 1);
  ASSERT_EQ(GetRVStr(hkLocalMachine, HelpKey, "README.TXT", ""), Dest + "\\Docs");
  EXPECT_EQ(RecordedPaths(Product, {"Folders"}), ProductFolders());
  const std::vector<std::string> others = RecordedPaths(Other);
  ASSERT_EQ(others.size(), 2u);
  // What the product did not install: a file of the user's in its folder.
  const std::string notes = Dest + "\\my notes.txt";
  WriteFileText(notes, "mine");
  // The other product still uses the library: nothing is asked.
  // The closing message comes with every step ticked, and names what keeps
  // the product's folder: it stays, and the exit code says so.
  std::vector<std::string> ticked;
  std::vector<std::string> texts = Uninstall(
      UninstallString(Product), Product,
      [&](const std::string&) {
        ticked = TickedBoxesOf("Remove " + Product);
        return IDOK;
      },
      uoFilesLeft);
  EXPECT_EQ(texts, (std::vector<std::string>{RestartMessage(Product) + "\n\nThe folder " + Dest +
                                             " stays, as it still holds:\n" + notes}));
  EXPECT_EQ(ticked, (std::vector<std::string>{"ActiveX/OCX components", "Files", "Registry entries"}));
  for (const auto& path : recorded) EXPECT_EQ(FileExists(path), path == Shared) << path;
  EXPECT_EQ(GetRVInteger(hkLocalMachine, SharedDLLsKey, Shared, 0), 1);
  EXPECT_EQ(GetRVInteger(hkCurrentUser, SelfReg, server, 0), 0);
  EXPECT_FALSE(KeyExists(hkLocalMachine, std::string(UninstallRootKey) + Product));
  EXPECT_NE(PendingRenames().find("\\??\\" + Dest + "\\uninstall.exe"), std::string::npos) << PendingRenames();
  // Emptied folders go; the desktop, a shell folder, stays empty.
  EXPECT_FALSE(DirectoryExists(Dest + "\\Docs"));
  EXPECT_FALSE(DirectoryExists(ExpandProgramMenuDir() + "\\Qnt Round Trip"));
  EXPECT_TRUE(DirectoryExists(ExpandDesktopDir()));
  EXPECT_TRUE(FileExists(notes));
  EXPECT_EQ(RecordedPaths(Other), others);
  for (const auto& path : others) EXPECT_TRUE(FileExists(path)) << path;
  EXPECT_EQ(GetRVStr(hkLocalMachine, HelpKey, "README.TXT", "<none>"), "<none>");
  // Its last user goes: the question, answered Yes.
  bool shot = false;
  texts = Uninstall(UninstallString(Other), Other, [&](const std::string&) {
    if (const char* path = std::getenv("QNT_SCREENSHOT"); path && !shot) shot = Screenshot(GetForegroundWindow(), path);
    return IDYES;
  });
  EXPECT_EQ(texts, (std::vector<std::string>{Question(Shared), RestartMessage(Other)}));
  for (const auto& path : others) EXPECT_FALSE(FileExists(path)) << path;
  EXPECT_EQ(GetRVInteger(hkLocalMachine, SharedDLLsKey, Shared, NoSharedCount), NoSharedCount);
  EXPECT_FALSE(DirectoryExists(ExtractFileDir(Shared)));
  EXPECT_TRUE(DirectoryExists(ExpandCommonFilesDir()));
  EXPECT_FALSE(KeyExists(hkLocalMachine, std::string(UninstallRootKey) + Other));
  EXPECT_EQ(SettingsChanged(settings, SoftwareSettings()), SettingsLeft());
}

// A setup cancelled as its first, a middle or its last file begins: the
// entry it leaves starts the product's own uninstaller, which removes what
// the run kept.
TEST_F(UninstallRoundTrip, ACancelledSetupLeavesAnEntryThatRemovesWhatItKept) {
  const std::string program = CopyProgram("qnt_roundtrip_product.exe", FWork, "roundtrip_product.exe");
  const std::string app = Dest + "\\APP.TXT", readme = Dest + "\\Docs\\README.TXT";
  const struct {
    const char* CancelAt;
    std::vector<std::string> Kept;
  } rows[] = {
      {"AppFile", {}},
      {"SharedFile", {app, readme}},
      {"ServerFile", {app, readme, Shared}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.CancelAt);
    SetEnvironmentVariableW(L"QNT_CANCEL_AT", Widen(row.CancelAt).c_str());
    RunAndWait("\"" + program + "\" *NOTSELFEXTRACT setup.exe " + FDist, FWork, 120000);
    SetEnvironmentVariableW(L"QNT_CANCEL_AT", nullptr);
    std::vector<std::string> kept = row.Kept;
    std::sort(kept.begin(), kept.end());
    ASSERT_EQ(RecordedPaths(Product), kept);
    for (const auto& path : kept) ASSERT_TRUE(FileExists(path)) << path;
    EXPECT_EQ(GetRVStr(hkLocalMachine, std::string(UninstallRootKey) + Product, "DisplayName", ""), Product);
    const std::string line = UninstallString(Product);
    ASSERT_FALSE(line.empty());
    Uninstall(line, Product, [](const std::string& Text) {
      return Text.find("Is it o.k.") != std::string::npos ? IDYES : IDOK;
    });
    for (const auto& path : kept) EXPECT_FALSE(FileExists(path)) << path;
    EXPECT_FALSE(DirectoryExists(Dest + "\\Docs"));
    EXPECT_EQ(GetRVInteger(hkLocalMachine, SharedDLLsKey, Shared, NoSharedCount), NoSharedCount);
    EXPECT_FALSE(KeyExists(hkLocalMachine, std::string(UninstallRootKey) + Product));
  }
}

// The setup asked for a restart (the server was in use) and the user chose
// to restart later: what the restart puts in place and registers must not
// come back without an entry, so the uninstaller removes nothing until then.
TEST_F(UninstallRoundTrip, WhileItsSetupWaitsForTheRestartNothingIsRemoved) {
  const std::string server = Dest + "\\QNTREG.DLL";
  ForceDirectories(Dest);
  WriteFileText(server, "in use");
  HANDLE held = CreateFileW(Widen(server).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  Install("roundtrip_product");
  ASSERT_EQ(ReadFileText(FWork + "\\restart.log"), "restart\n");
  const std::string line = UninstallString(Product);
  const std::vector<std::string> recorded = RecordedPaths(Product);
  {
    TChildProcess p(line);
    ASSERT_TRUE(p.Started());
    TForeignBox box = AnswerForeignDialog(p.Pid(), [](const std::string&) { return IDOK; }, 30000);
    EXPECT_EQ(box.Text, SetupWaitsMessage(Product));
    EXPECT_EQ(box.Caption, "Remove " + Product);
    EXPECT_FALSE(ClickForeignButton(p.Pid(), "Remove " + Product, "&Start", 30000));
    EXPECT_TRUE(ClickForeignButton(p.Pid(), "Remove " + Product, "&Close", 30000));
    EXPECT_EQ(p.Wait(30000), uoSetupWaits);
  }
  EXPECT_EQ(RecordedPaths(Product), recorded);
  for (const auto& path : recorded) EXPECT_TRUE(FileExists(path)) << path;

  // The restart puts the server in place and its run registers it; then the
  // product goes whole.
  CloseHandle(held);
  ASSERT_EQ(RunAndWait("wineboot.exe -r", "", 180000), 0);
  EXPECT_NE(ReadFileText(server), "in use");
  EXPECT_EQ(GetRVInteger(hkCurrentUser, SelfReg, server, 0), 1);
  EXPECT_EQ(GetRVStr(hkLocalMachine, std::string(UninstallRootKey) + Product, SetupWaitsValueName, "none"), "none");
  Uninstall(line, Product, [](const std::string& Text) {
    return Text.find("Is it o.k.") != std::string::npos ? IDYES : IDOK;
  });
  for (const auto& path : recorded) EXPECT_FALSE(FileExists(path)) << path;
  EXPECT_EQ(GetRVInteger(hkCurrentUser, SelfReg, server, 0), 0);
  EXPECT_FALSE(KeyExists(hkLocalMachine, std::string(UninstallRootKey) + Product));
}

TEST_F(UninstallRoundTrip, OnTheWindows95FamilyTheUninstallerIsNamedInWininit) {
  SetReportedWindowsVersion("uninstall.exe", "win95");
  const std::string wininit = DirectoryWBS(WindowsDir) + "WININIT.INI";
  RemoveFile(wininit);
  for (int run = 0; run < 3; ++run) Install("roundtrip_product");
  const std::string own = Dest + "\\uninstall.exe";

  // The library's only user, however often it was installed: asked, and No
  // keeps it with its count.
  std::vector<std::string> texts = Uninstall(UninstallString(Product), Product, [](const std::string& Text) {
    return Text.find("Is it o.k.") != std::string::npos ? IDNO : IDOK;
  });

  EXPECT_EQ(texts, (std::vector<std::string>{Question(Shared), RestartMessage(Product)}));
  EXPECT_TRUE(FileExists(Shared));
  EXPECT_EQ(GetRVInteger(hkLocalMachine, SharedDLLsKey, Shared, 0), 1);
  EXPECT_FALSE(FileExists(Dest + "\\APP.TXT"));
  EXPECT_FALSE(KeyExists(hkLocalMachine, std::string(UninstallRootKey) + Product));
  EXPECT_EQ(ReadLines(wininit), (std::vector<std::string>{"[RENAME]", "Nul=" + GetShortPath(own)}));
  EXPECT_EQ(PendingRenames().find(own), std::string::npos);
}

// Uninstalled and installed again at once, before the restart the uninstall
// asked for (it left its own file and folder for deletion then): after the
// restart every file the product lists is there, and its entry removes it;
// on the Windows NT family and on the Windows 95 family.
TEST_F(UninstallRoundTrip, InstalledAgainBeforeTheRestartItKeepsItsFiles) {
  const std::string own = Dest + "\\uninstall.exe";
  auto answer = [](const std::string& Text) { return Text.find("Is it o.k.") != std::string::npos ? IDYES : IDOK; };
  for (const char* version : {"", "win95"}) {
    SCOPED_TRACE(*version ? version : "the Windows NT family");
    if (*version) {
      SetReportedWindowsVersion("uninstall.exe", version);
      SetReportedWindowsVersion("roundtrip_product.exe", version);
    }
    Install("roundtrip_product");
    Uninstall(UninstallString(Product), Product, answer);
    ASSERT_TRUE(FileExists(own));  // until the restart
    Install("roundtrip_product");
    const std::vector<std::string> recorded = RecordedPaths(Product);
    ASSERT_EQ(recorded.size(), 6u);
    ASSERT_EQ(RunAndWait("wineboot.exe -r", "", 180000), 0);
    for (const auto& path : recorded) EXPECT_TRUE(FileExists(path)) << path;
    EXPECT_TRUE(FileExists(own));
    Uninstall(UninstallString(Product), Product, answer);
    for (const auto& path : recorded) EXPECT_FALSE(FileExists(path)) << path;
    EXPECT_FALSE(KeyExists(hkLocalMachine, std::string(UninstallRootKey) + Product));
    // Its own restart takes the uninstaller, as before.
    ASSERT_EQ(RunAndWait("wineboot.exe -r", "", 180000), 0);
    EXPECT_FALSE(FileExists(own));
  }
}

}  // namespace
