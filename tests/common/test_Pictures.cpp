// Pictures of other programs' windows are taken by ImageMagick's import,
// which grabs the display while it works; one that never ended (its window
// went in the middle of the picture) has kept the display frozen for good.
// Here the harness puts a stand-in import that never ends first on PATH:
// every picture is given up after a few seconds, and that is said.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>

#include "classlib/WinText.h"
#include "common/PageRunner.h"
#include "common/TestSupport.h"

using namespace testsupport;

namespace {

const wchar_t* const Caption = L"Qnt picture test";

LRESULT CALLBACK PageProc(HWND W, UINT M, WPARAM Wp, LPARAM Lp) {
  if (M == WM_COMMAND && HIWORD(Wp) == BN_CLICKED) {
    DestroyWindow(W);
    return 0;
  }
  return DefWindowProcW(W, M, Wp, Lp);
}

// A page of this process with the button that ends an uninstaller's walk.
HWND ShowPage() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = PageProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = L"QntPicturePage";
  RegisterClassW(&wc);
  HWND page = CreateWindowExW(0, wc.lpszClassName, Caption, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 320, 200,
                              nullptr, nullptr, wc.hInstance, nullptr);
  CreateWindowExW(0, L"BUTTON", L"&Start", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 110, 100, 90, 30, page, nullptr,
                  wc.hInstance, nullptr);
  return page;
}

// Runs CommandLine with its output in OutPath, handling this thread's
// messages meanwhile; its exit code, or -2 when it did not end in time.
long RunPumping(const std::string& CommandLine, const std::string& OutPath) {
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  HANDLE out = CreateFileW(Widen(OutPath).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, nullptr);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = si.hStdError = out;
  PROCESS_INFORMATION pi{};
  std::wstring cl = Widen(CommandLine);
  const BOOL started = CreateProcessW(nullptr, cl.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
  CloseHandle(out);
  if (!started) return -1;
  CloseHandle(pi.hThread);
  const DWORD start = GetTickCount();
  DWORD code = static_cast<DWORD>(-2);
  while (GetTickCount() - start < 120000) {
    if (MsgWaitForMultipleObjects(1, &pi.hProcess, FALSE, 100, QS_ALLINPUT) == WAIT_OBJECT_0) {
      GetExitCodeProcess(pi.hProcess, &code);
      break;
    }
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
  if (code == static_cast<DWORD>(-2)) TerminateProcess(pi.hProcess, 255);
  CloseHandle(pi.hProcess);
  return static_cast<long>(code);
}

}  // namespace

TEST(Pictures, AnImportThatDoesNotEndIsGivenUpAndSaidSo) {
  // A Unix folder: the harness gives Wine one of its own for temporary files.
  const char* tmp = std::getenv("TMPDIR");
  ASSERT_TRUE(tmp && *tmp == '/') << "TMPDIR names no Unix folder";
  const std::string shots = std::string(tmp) + "/pictures-test";
  CreateDirectoryW(Widen("Z:" + shots).c_str(), nullptr);

  // The test support's picture of another program's window.
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::wstring notepad = L"notepad.exe";
  ASSERT_TRUE(CreateProcessW(nullptr, notepad.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
  WaitForInputIdle(pi.hProcess, 10000);
  HWND other = nullptr;
  for (int i = 0; i < 100 && !other; ++i, Sleep(100))
    for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
      DWORD pid = 0;
      GetWindowThreadProcessId(w, &pid);
      if (pid == pi.dwProcessId && IsWindowVisible(w)) other = w;
    }
  ASSERT_NE(other, nullptr) << "notepad showed no window";
  EXPECT_FALSE(Screenshot(other, shots + "/notepad.png"));
  TerminateProcess(pi.hProcess, 0);
  WaitForSingleObject(pi.hProcess, 10000);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);

  // The wizard driver's walk over a page of this process: the page is
  // walked, its picture skipped, and the walk ends with its last button.
  ShowPage();
  const std::string out = ScratchDir("pictures") + "\\driver.txt";
  EXPECT_EQ(RunPumping("\"" + BinDir() + "\\qnt_wizard_driver.exe\" uninstall " + shots + " \"" + BinDir() +
                           "\\qnt_probe.exe\" exit 0",
                       out),
            0);
  EXPECT_EQ(ReadLines(out), (std::vector<std::string>{"  picture 01: Qnt picture test",
                                                       "    no picture: import did not finish within 5 s, skipped"}));
  EXPECT_FALSE(FindWindowW(nullptr, Caption));
}
