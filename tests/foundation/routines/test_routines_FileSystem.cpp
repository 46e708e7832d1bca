#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <thread>

#include <shlobj.h>

#include "classlib/SysUtils.h"
#include "classlib/WinText.h"
#include "common/PageRunner.h"
#include "common/TestSupport.h"
#include "foundation/exceptions_Quillant.h"
#include "foundation/routines/routines_API.h"
#include "foundation/routines/routines_FileSystem.h"

using namespace testsupport;

namespace {
std::string Probe() { return BinDir() + "\\qnt_probe.exe"; }
}  // namespace

TEST(ProgramLauncher, WaitsAndReportsTheExitCode) {
  TProgramLauncher l(nullptr);
  EXPECT_EQ(l.Action(), "Open");
  EXPECT_EQ(l.Timeout(), -1);
  l.SetFileName(Probe());
  l.SetParameters("exit 7");
  l.SetShowMode(smHide);
  l.Launch();
  EXPECT_EQ(l.ExitCode(), 7u);
  EXPECT_NE(l.HProcess(), nullptr);
  // The process handle stays usable after the launch.
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeProcess(static_cast<HANDLE>(l.HProcess()), &code));
  EXPECT_EQ(code, 7u);
  l.SetParameters("exit 0");
  l.Launch();
  EXPECT_EQ(l.ExitCode(), 0u);
}

TEST(ProgramLauncher, RunsInTheStartFolder) {
  std::string dir = ScratchDir("launch dir");
  TProgramLauncher l(nullptr);
  l.SetFileName(Probe());
  l.SetStartDir(dir);
  l.SetParameters("args \"" + dir + "\\out.txt\"");
  l.Launch();
  auto lines = ReadLines(dir + "\\out.txt");
  ASSERT_FALSE(lines.empty());
  EXPECT_TRUE(SameText(lines.back(), dir)) << lines.back();
  RemoveTree(dir);
}

TEST(ProgramLauncher, MissingStartFolderIsRefusedBeforeAnythingStarts) {
  TProgramLauncher l(nullptr);
  l.SetFileName(Probe());
  l.SetStartDir("C:\\no\\such\\folder");
  try {
    l.Launch();
    FAIL() << "no error";
  } catch (const EProgramLauncherFailed& e) {
    EXPECT_EQ(e.Message, "The directory C:\\no\\such\\folder, as specified in the StartDir property, does not exist");
  }
  EXPECT_EQ(l.HProcess(), nullptr);
}

TEST(ProgramLauncher, MissingProgramGivesTheShellErrorCode) {
  // The shell shows its own box about the missing file first.
  DialogWatcher boxes;
  TProgramLauncher l(nullptr);
  l.SetFileName("C:\\no\\such\\program.exe");
  try {
    l.Launch();
    FAIL() << "no error";
  } catch (const EProgramLauncherFailed& e) {
    EXPECT_TRUE(e.ErrorCode == 2 || e.ErrorCode == 3) << e.ErrorCode;
    EXPECT_EQ(e.Message, ProgramLauncherErrorText(e.ErrorCode));
  }
}

TEST(ProgramLauncher, TimeoutOfZeroOnARunningProgram) {
  TProgramLauncher l(nullptr);
  l.SetFileName(Probe());
  l.SetParameters("sleep 3000");
  l.SetTimeout(0);
  EXPECT_THROW(l.Launch(), EProgramLauncherTimeout);
  ASSERT_NE(l.HProcess(), nullptr);
  TerminateProcess(static_cast<HANDLE>(l.HProcess()), 0);
}

TEST(ProgramLauncher, StartErrorTable) {
  EXPECT_EQ(ProgramLauncherErrorText(0), "Out of memory");
  EXPECT_EQ(ProgramLauncherErrorText(8), "Out of memory");
  EXPECT_EQ(ProgramLauncherErrorText(6), "Library/Segment error");
  EXPECT_EQ(ProgramLauncherErrorText(13), "Invalid DOS version");
  EXPECT_EQ(ProgramLauncherErrorText(31), "File type has no association");
  EXPECT_EQ(ProgramLauncherErrorText(21), "Application requires Win32");
  EXPECT_EQ(ProgramLauncherErrorText(4), "Unknown error");
}

namespace {
BOOL CALLBACK FindOwnDialog(HWND h, LPARAM p) {
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  wchar_t cls[64] = {};
  GetClassNameW(h, cls, 64);
  if (pid == GetCurrentProcessId() && IsWindowVisible(h) && std::wstring(cls) == L"#32770") {
    *reinterpret_cast<HWND*>(p) = h;
    return FALSE;
  }
  return TRUE;
}

// Answers the folder browser of this process with Button until Execute has
// returned (done); the answer is sent again while the box stays up, since a
// box still being built may not take it. Takes a picture first when
// QNT_SCREENSHOT names a file.
void AnswerFolderBrowser(int Button, std::atomic<bool>& done, std::atomic<bool>& answered, std::wstring select) {
  DWORD lastPost = 0;
  while (!done) {
    Sleep(50);
    HWND found = nullptr;
    EnumWindows(FindOwnDialog, reinterpret_cast<LPARAM>(&found));
    if (!found || (answered && GetTickCount() - lastPost < 2000)) continue;
    Sleep(300);
    if (!select.empty()) SendMessageW(found, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(select.c_str()));
    if (const char* shot = std::getenv("QNT_SCREENSHOT"); shot && !answered) testsupport::Screenshot(found, shot);
    PostMessageW(found, WM_COMMAND, Button, 0);
    answered = true;
    lastPost = GetTickCount();
  }
}

bool RunFolderBrowser(TOpenFolderDialog& dlg, int Button, const std::wstring& select, bool& answeredOut) {
  std::atomic<bool> done{false}, answered{false};
  std::thread t(AnswerFolderBrowser, Button, std::ref(done), std::ref(answered), select);
  bool picked = dlg.Execute();
  done = true;
  t.join();
  answeredOut = answered;
  return picked;
}
}  // namespace

TEST(FolderDialog, CancelKeepsThePreviousChoice) {
  TOpenFolderDialog dlg;
  bool answered = false;
  bool picked = RunFolderBrowser(dlg, IDCANCEL, L"", answered);
  EXPECT_TRUE(answered);
  EXPECT_FALSE(picked);
  EXPECT_EQ(dlg.Path(), "");
}

TEST(FolderDialog, PickedFolderIsReturnedAsAPath) {
  std::string dir = WindowsDir;
  TOpenFolderDialog dlg;
  bool answered = false;
  bool picked = RunFolderBrowser(dlg, IDOK, Widen(dir), answered);
  EXPECT_TRUE(picked);
  EXPECT_TRUE(SameText(dlg.Path(), dir)) << dlg.Path();
}
