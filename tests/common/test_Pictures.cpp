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
#include "common/ForeignWindow.h"
#include "common/PageRunner.h"
#include "common/TestSupport.h"

using namespace testsupport;

namespace {

const wchar_t* const Caption = L"Qnt picture test";

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

  // The wizard driver's walk over a page of the program it started: the
  // page is walked, its picture skipped, and the walk ends with its last
  // button and the program's end.
  const std::string out = ScratchDir("pictures") + "\\driver.txt";
  TChildProcess driver("\"" + BinDir() + "\\qnt_wizard_driver.exe\" uninstall " + shots + " \"" + BinDir() +
                           "\\qnt_probe.exe\" page &Start \"" + Narrow(Caption) + "\"",
                       "", "", out);
  EXPECT_EQ(driver.Wait(120000), 0);
  EXPECT_EQ(ReadLines(out), (std::vector<std::string>{"  picture 01: Qnt picture test",
                                                       "    no picture: import did not finish within 5 s, skipped",
                                                       "  qnt_probe.exe ended: exit code 0"}));
  EXPECT_FALSE(FindWindowW(nullptr, Caption));
}
