// A start from a page: the earlier run's setup, or a download from the FTP
// server on port 21 (the harness's vsftpd on 127.0.0.1, or a scripted
// responder on another loopback address), and the start of the stub setup.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "classlib/DateUtils.h"
#include "classlib/Registry.h"
#include "classlib/SysUtils.h"
#include "classlib/WinText.h"
#include "common/TestSupport.h"
#include "foundation/ftp/FtpTestSupport.h"
#include "webcontrol/FetchkitHost.h"
#include "webcontrol/Fetchkit_TLB.h"

using namespace fetchkit;

namespace {

// Port 21 belongs to the harness that holds its lock; the others skip.
#define QNT_NEED_PORT21()                                                                    \
  if (ftptest::Env("QNT_FTP21_DIR").empty()) {                                              \
    if (ftptest::Env("CI") == "true") GTEST_FAIL() << "the harness started no FTP server on port 21"; \
    GTEST_SKIP() << "no FTP server of ours on port 21 (another harness holds it)";          \
  }

std::string UniqueName(const std::string& Tag) {
  return "qntstub-" + Tag + "-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount()) +
         ".exe";
}

std::string StubProgram() { return testsupport::BinDir() + "\\qnt_fetchkit_stub.exe"; }

// The stub on the port-21 server under Name (in its folder "kit").
void PublishStub(const std::string& Name) {
  std::string dir = ftptest::UnixPath(ftptest::Env("QNT_FTP21_DIR")) + "\\kit";
  CreateDirectoryW(Widen(dir).c_str(), nullptr);
  ASSERT_TRUE(CopyFileW(Widen(StubProgram()).c_str(), Widen(dir + "\\" + Name).c_str(), FALSE));
}

IDispatch* ControlFor(const std::string& Host, const std::string& Name, double Date = 0, int32_t Size = 0) {
  IDispatch* d = CreateControl();
  TPageBag bag;
  for (auto& [name, value] : ExamplePageParams()) bag.Set(name, value);
  bag.Set("HostName", Host);
  bag.Set("Directory", "kit");
  bag.Set("LoadingEXE", Name);
  bag.Set("UserName", "anonymous");
  bag.Set("Password", "guest@example.com");
  bag.Set("SetupCreationDate", Format("%.10f", {Date}));
  bag.Set("SetupSize", IntToStr(Size));
  EXPECT_EQ(LoadBag(d, bag), S_OK);
  return d;
}

bool WaitStarted(const std::string& Name, int TimeoutMs = 30000) {
  return PumpUntil([&] { return !FindStartedStub(Name).empty(); }, TimeoutMs);
}

// A setup key of an earlier run, as the setup program writes it.
void WriteSetupKey(const std::string& Sub, const std::string& Path, double Date, int32_t Size) {
  TRegistry reg;
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(reg.OpenKey("\\SOFTWARE\\Quillant\\Install\\" + Sub, true));
  if (!Path.empty()) reg.WriteString("Path", Path);
  reg.WriteDateTime("CreationDate", Date);
  reg.WriteInteger("Size", Size);
}

// Every position the progress bar is given (it is given only changes).
std::vector<WPARAM> barPositions;
WNDPROC barProc = nullptr;
LRESULT CALLBACK RecordBarPosition(HWND W, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (Msg == PBM_SETPOS) barPositions.push_back(WParam);
  return CallWindowProcW(barProc, W, Msg, WParam, LParam);
}

int32_t UniqueSize() { return static_cast<int32_t>(1000000 + (GetCurrentProcessId() * 7919 + GetTickCount()) % 1000000); }

}  // namespace

TEST(FetchkitDownload, ADownloadLandsInANewQntFolderAndStartsTheSetup) {
  QNT_NEED_PORT21();
  std::string name = UniqueName("dl");
  PublishStub(name);
  testsupport::DialogWatcher boxes;
  IDispatch* d = ControlFor("127.0.0.1", name);
  EXPECT_EQ(CallMethod(d, DISPID_StartInstall), S_OK);
  // The page goes while the download runs: the control is released, this
  // host lets go of its own load of the library, and COM frees what it may.
  // The start keeps a load of its own (so Ocx() stays a good handle).
  d->Release();
  FreeLibrary(Ocx());
  CoFreeUnusedLibrariesEx(0, 0);
  ASSERT_TRUE(WaitStarted(name)) << "the downloaded stub did not start";
  std::string file = FindDownloaded(name);
  EXPECT_EQ(testsupport::ReadFileText(file), testsupport::ReadFileText(StubProgram()));
  EXPECT_EQ(ExtractFileName(ExcludeTrailingBackslash(ExtractFilePath(file))).substr(0, 3), "qnt");
  // Started by its quoted path.
  std::string cmd = testsupport::ReadFileText(FindStartedStub(name));
  EXPECT_EQ(cmd.substr(0, 2), std::string("\"\0", 2));
  for (auto& b : boxes.Dialogs()) ADD_FAILURE() << b.Caption << ": " << b.Text;
}

TEST(FetchkitDownload, AMatchingEarlierRunStartsItsSetupWithoutADownload) {
  std::string dir = testsupport::ScratchDir("fetchkit-earlier");
  // A script's call, and a click on the panel in the page.
  for (bool click : {false, true}) {
    std::string name = UniqueName(click ? "earlier-click" : "earlier-call");
    std::string path = dir + "\\" + name;
    ASSERT_TRUE(CopyFileW(Widen(StubProgram()).c_str(), Widen(path).c_str(), FALSE));
    const double date = 40000.123456789;
    const int32_t size = UniqueSize() + click;
    std::string key = "QntTest" + std::to_string(GetCurrentProcessId()) + (click ? "c" : "s");
    WriteSetupKey(key, path, date, size);
    testsupport::DialogWatcher boxes;
    // A host nothing answers on: any download attempt would fail with a box.
    IDispatch* d = ControlFor("127.0.0.9", name, date + 0.4 / 86400, size);
    TPageSite site;
    if (click) {
      HWND w = ActivateInPlace(d, site);
      ASSERT_NE(w, nullptr);
      ClickAt(w, 30, 12);
    } else {
      EXPECT_EQ(CallMethod(d, DISPID_StartInstall), S_OK);
    }
    EXPECT_TRUE(PumpUntil([&] { return FileExists(path + ".started"); }, 20000)) << (click ? "click" : "call");
    PumpFor(300);
    EXPECT_TRUE(boxes.Dialogs().empty());
    // The run is over: its progress window is gone.
    EXPECT_EQ(FindShownWindow(L"Install", site.Window), nullptr);
    d->Release();
    TRegistry reg;
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    reg.DeleteKey("\\SOFTWARE\\Quillant\\Install\\" + key);
  }
  testsupport::RemoveTree(dir);
}

TEST(FetchkitDownload, AnEarlierRunThatDoesNotMatchLeadsToADownload) {
  QNT_NEED_PORT21();
  std::string dir = testsupport::ScratchDir("fetchkit-nomatch");
  const double date = 40001.5;
  const int32_t size = UniqueSize();
  struct Case {
    const char* tag;
    bool pathExists;
    int32_t keySize;
  } cases[] = {{"offbyone", true, size + 1}, {"nopath", false, size}};
  for (const Case& c : cases) {
    std::string name = UniqueName(c.tag);
    PublishStub(name);
    std::string local = dir + "\\" + name;
    if (c.pathExists) {
      ASSERT_TRUE(CopyFileW(Widen(StubProgram()).c_str(), Widen(local).c_str(), FALSE));
    }
    std::string key = std::string("QntTest-") + c.tag + std::to_string(GetCurrentProcessId());
    WriteSetupKey(key, local, date, c.keySize);
    IDispatch* d = ControlFor("127.0.0.1", name, date, size);
    EXPECT_EQ(CallMethod(d, DISPID_StartInstall), S_OK);
    EXPECT_TRUE(WaitStarted(name)) << c.tag << ": no download started";
    EXPECT_FALSE(FileExists(local + ".started")) << c.tag;
    d->Release();
    TRegistry reg;
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    reg.DeleteKey("\\SOFTWARE\\Quillant\\Install\\" + key);
  }
  testsupport::RemoveTree(dir);
}

// The scripted responder on a loopback address of this test's own, port 21.
class ResponderOn21 {
public:
  ResponderOn21(const std::string& Address, const std::string& Scenario)
      : R("{\"listen\": \"" + Address + ":21\", " + Scenario.substr(1)) {}
  ftptest::Responder R;
};

// A setup of unknown size larger than a download may hold in memory goes to
// its file as it arrives; a passive reply that names another address than
// the server's own is followed to its port only.
TEST(FetchkitDownload, AServerWithoutSizeStillCompletes) {
  QNT_NEED_PORT21();
  QNT_NEED_RESPONDER();
  std::string name = UniqueName("nosize");
  const int size = 5000000;
  // The stub itself is not what the responder serves; the file it stores
  // is started and fails to run as a program, which is reported.
  ResponderOn21 srv("127.0.0.2", "{\"files\": {\"" + name + "\": " + std::to_string(size) +
                                     "}, \"replies\": {\"SIZE\": \"550 No size.\"}, \"pasv_host\": \"127.0.0.8\"}");
  ASSERT_NE(srv.R.Port(), 0) << "127.0.0.2:21 taken";
  testsupport::DialogWatcher boxes;
  IDispatch* d = ControlFor("127.0.0.2", name);
  EXPECT_EQ(CallMethod(d, DISPID_StartInstall), S_OK);
  // The progress window is shown; the download reports to it only once this
  // thread handles messages.
  HWND form = FindShownWindow(L"Install");
  HWND bar = form ? FindChild(form, L"msctls_progress32") : nullptr;
  ASSERT_NE(bar, nullptr);
  barProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordBarPosition)));
  ASSERT_TRUE(PumpUntil([&] { return !FindDownloaded(name).empty() && !boxes.Dialogs().empty(); }, 30000));
  EXPECT_TRUE(testsupport::ReadFileText(FindDownloaded(name)) == ftptest::ResponderContent(size));
  auto log = srv.R.Log();
  EXPECT_EQ(ftptest::Count(log, "DATA 127.0.0.2"), 1);
  EXPECT_EQ(ftptest::Count(log, "DATA 127.0.0.8"), 0);
  // No size announced: 0 % all through the download, 100 % at its end.
  EXPECT_EQ(barPositions, std::vector<WPARAM>{100});
  // Not a program: the start fails and says so with the code.
  auto seen = boxes.Dialogs();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_NE(seen[0].Text.find("LOADER: Could not run the installation executable file. The WinExec return was "),
            std::string::npos)
      << seen[0].Text;
  d->Release();
}

TEST(FetchkitDownload, RefusedLoginAndMissingFileStoreAndStartNothingAndEndTheRun) {
  QNT_NEED_PORT21();
  QNT_NEED_RESPONDER();
  struct Case {
    const char* tag;
    const char* address;
    std::string replies;
  } cases[] = {{"login", "127.0.0.3", "{\"PASS\": \"530 Login incorrect.\"}"},
               {"missing", "127.0.0.4", "{\"RETR\": \"550 Failed to open file.\"}"}};
  for (const Case& c : cases) {
    std::string name = UniqueName(c.tag);
    ResponderOn21 srv(c.address, "{\"files\": {\"" + name + "\": 1000}, \"replies\": " + c.replies + "}");
    ASSERT_NE(srv.R.Port(), 0) << c.address << ":21 taken";
    testsupport::DialogWatcher boxes;
    IDispatch* d = ControlFor(c.address, name);
    EXPECT_EQ(CallMethod(d, DISPID_StartInstall), S_OK);
    ASSERT_TRUE(PumpUntil([&] { return !boxes.Dialogs().empty(); }, 30000)) << c.tag << ": no report";
    PumpFor(200);
    EXPECT_TRUE(FindDownloaded(name).empty()) << c.tag;
    EXPECT_TRUE(FindStartedStub(name).empty()) << c.tag;
    // The run is over: the next click starts again.
    EXPECT_EQ(CallMethod(d, DISPID_StartInstall), S_OK);
    EXPECT_TRUE(PumpUntil([&] { return boxes.Dialogs().size() >= 2; }, 30000)) << c.tag << ": no second start";
    EXPECT_EQ(ftptest::Count(srv.R.LogWhenClosed(), "CONNECT"), 2) << c.tag;
    d->Release();
  }
}

TEST(FetchkitDownload, ASecondClickDuringADownloadStartsNothing) {
  QNT_NEED_PORT21();
  QNT_NEED_RESPONDER();
  std::string name = UniqueName("twice");
  // The transfer stops after a first part and waits: the download runs on.
  ResponderOn21 srv("127.0.0.5", "{\"files\": {\"" + name + "\": 200000}, \"hold_after\": 40000}");
  ASSERT_NE(srv.R.Port(), 0) << "127.0.0.5:21 taken";
  IDispatch* d = ControlFor("127.0.0.5", name);
  EXPECT_EQ(CallMethod(d, DISPID_StartInstall), S_OK);
  ASSERT_TRUE(PumpUntil([&] { return ftptest::Count(srv.R.Log(), "RETR") == 1; }, 20000));
  EXPECT_EQ(CallMethod(d, DISPID_StartInstall), S_OK);
  IDispatch* other = ControlFor("127.0.0.5", name);  // another control of the page
  EXPECT_EQ(CallMethod(other, DISPID_StartInstall), S_OK);
  PumpFor(1000);
  EXPECT_EQ(ftptest::Count(srv.R.Log(), "CONNECT"), 1);
  other->Release();
  d->Release();
}

TEST(FetchkitDownload, AFailedStartIsAnErrorOfTheCallAndEndsTheRun) {
  // The earlier run's file is no program: the start fails inside the call.
  std::string dir = testsupport::ScratchDir("fetchkit-badexe");
  std::string path = dir + "\\not a program.exe";
  testsupport::WriteFileText(path, "text, not a program");
  const double date = 40002.25;
  const int32_t size = UniqueSize();
  std::string key = "QntTestBad" + std::to_string(GetCurrentProcessId());
  WriteSetupKey(key, path, date, size);
  IDispatch* d = ControlFor("127.0.0.9", "unused.exe", date, size);
  for (int click = 0; click < 2; ++click) {  // the second is no silent no-op
    EXCEPINFO info = {};
    EXPECT_EQ(CallMethod(d, DISPID_StartInstall, &info), DISP_E_EXCEPTION) << "click " << click;
    std::string text = info.bstrDescription ? Narrow(info.bstrDescription, SysStringLen(info.bstrDescription)) : "";
    EXPECT_EQ(text.rfind("LOADER: Could not run the installation executable file. The WinExec return was ", 0), 0u)
        << text;
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrHelpFile);
  }
  d->Release();
  TRegistry reg;
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  reg.DeleteKey("\\SOFTWARE\\Quillant\\Install\\" + key);
  testsupport::RemoveTree(dir);
}

TEST(FetchkitDownload, TheProgressWindowFollowsTheDownloadAndAbortEndsItWithNothingStored) {
  QNT_NEED_PORT21();
  QNT_NEED_RESPONDER();
  std::string name = UniqueName("abort");
  // The transfer stops after a fifth and waits: the window shows 20 %.
  ResponderOn21 srv("127.0.0.6", "{\"files\": {\"" + name + "\": 200000}, \"hold_after\": 40000}");
  ASSERT_NE(srv.R.Port(), 0) << "127.0.0.6:21 taken";
  testsupport::DialogWatcher boxes;
  IDispatch* d = ControlFor("127.0.0.6", name);
  TPageSite site;
  HWND panel = ActivateInPlace(d, site);
  ASSERT_NE(panel, nullptr);
  for (int run = 1; run <= 2; ++run) {
    ClickAt(panel, 30, 12);
    HWND form = nullptr, bar = nullptr;
    ASSERT_TRUE(PumpUntil(
        [&] {
          form = FindShownWindow(L"Install", site.Window);
          bar = form ? FindChild(form, L"msctls_progress32") : nullptr;
          return bar && SendMessageW(bar, PBM_GETPOS, 0, 0) == 20;
        },
        20000))
        << "run " << run << ": no progress window at 20 %";
    // What arrived is in the setup's file already, not held in memory.
    EXPECT_TRUE(PumpUntil(
        [&] {
          WIN32_FILE_ATTRIBUTE_DATA a{};
          return GetFileAttributesExW(Widen(FindDownloaded(name)).c_str(), GetFileExInfoStandard, &a) &&
                 a.nFileSizeLow >= 40000;
        },
        5000))
        << "run " << run;
    RECT client;
    GetClientRect(form, &client);
    EXPECT_EQ(client.right, 472);
    EXPECT_EQ(client.bottom, 80);
    if (run == 1) Picture("fetchkit-progress", form);
    HWND abort = FindChild(form, L"Button", L"Abort");
    ASSERT_NE(abort, nullptr);
    EXPECT_TRUE(IsWindowVisible(abort));
    PostMessageW(abort, BM_CLICK, 0, 0);
    // Run 2: a click while the aborted download is still ending neither
    // takes the abort back nor starts another run.
    if (run == 2) ClickAt(panel, 30, 12);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindowVisible(form); }, 20000)) << "run " << run;
    PumpFor(300);
    EXPECT_TRUE(FindDownloaded(name).empty()) << "run " << run;
    EXPECT_TRUE(FindStartedStub(name).empty()) << "run " << run;
    // The run is over: the next click starts again (run 2 logs on anew).
    EXPECT_EQ(ftptest::Count(srv.R.Log(), "CONNECT"), run);
  }
  for (auto& b : boxes.Dialogs()) ADD_FAILURE() << b.Caption << ": " << b.Text;
  d->Release();
}

TEST(FetchkitDownload, ASetupFileNameThatIsNoPlainFileNameStartsAndWritesNothing) {
  auto workFolders = [] {
    int n = 0;
    WIN32_FIND_DATAW fd;
    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    HANDLE h = FindFirstFileW((std::wstring(tmp) + L"qnt*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return 0;
    do {
      n += (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    return n;
  };
  const char* const names[] = {"..\\..\\Start Menu\\Programs\\Startup\\x.exe", "kit/x.exe", "C:x.exe", "..", ""};
  const std::string reason = "must be a plain file name";
  // A script's call gets the reason; a click on the panel shows it.
  for (bool click : {false, true}) {
    for (const char* name : names) {
      std::string tag = std::string(click ? "click " : "call ") + '"' + name + '"';
      int before = workFolders();
      testsupport::DialogWatcher boxes;
      // Where a start would find nothing to download from.
      IDispatch* d = ControlFor("127.0.0.9", name);
      TPageSite site;
      if (click) {
        HWND w = ActivateInPlace(d, site);
        ASSERT_NE(w, nullptr);
        ClickAt(w, 30, 12);
        EXPECT_TRUE(PumpUntil([&] { return !boxes.Dialogs().empty(); }, 10000)) << tag;
      } else {
        EXCEPINFO info = {};
        EXPECT_EQ(CallMethod(d, DISPID_StartInstall, &info), DISP_E_EXCEPTION) << tag;
        std::string text = info.bstrDescription ? Narrow(info.bstrDescription, SysStringLen(info.bstrDescription)) : "";
        EXPECT_NE(text.find(reason), std::string::npos) << tag << ": " << text;
        EXPECT_NE(text.find("LoadingEXE"), std::string::npos) << tag << ": " << text;
        SysFreeString(info.bstrDescription);
        SysFreeString(info.bstrSource);
        SysFreeString(info.bstrHelpFile);
      }
      PumpFor(300);
      EXPECT_EQ(FindShownWindow(L"Install", site.Window), nullptr) << tag;
      EXPECT_EQ(workFolders(), before) << tag;
      auto seen = boxes.Dialogs();
      ASSERT_EQ(seen.size(), click ? 1u : 0u) << tag;
      if (click) {
        EXPECT_NE(seen[0].Text.find(reason), std::string::npos) << tag << ": " << seen[0].Text;
      }
      d->Release();
    }
  }
}
