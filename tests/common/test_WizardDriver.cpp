// The wizard driver that authors' tests use (tests/support/qnt_wizard_driver.c)
// walks the programs it started, through real windows of qnt_probe: it
// follows the program to its end and the programs that carry the walk on
// (the loader's hand-over), leaves alone what the last page started, says
// at once how a program without windows ended, gives up a box that keeps
// coming back, and refuses a picture folder that no picture can go into.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "classlib/WinText.h"
#include "common/ForeignWindow.h"
#include "common/TestSupport.h"

using namespace testsupport;

TEST(WizardDriver, FollowsItsProgramsToTheirEnd) {
  // A Unix folder: the harness gives Wine one of its own for temporary files.
  const char* tmp = std::getenv("TMPDIR");
  ASSERT_TRUE(tmp && *tmp == '/') << "TMPDIR names no Unix folder";
  const std::string shots = std::string(tmp) + "/driver-test";
  CreateDirectoryW(Widen("Z:" + shots).c_str(), nullptr);
  const std::string probe = "\"" + BinDir() + "\\qnt_probe.exe\" ";
  const struct {
    const char* Case;
    const char* Mode;
    std::string Folder, Command;
    long Code;
    std::vector<std::string> Said;  // in this order in its output
    const wchar_t* LeftRunning;     // a window the walk leaves alone
  } rows[] = {
      {"the loader hands over to the setup program", "setup", shots,
       probe + "start " + probe + "page Finish \"Qnt setup page\"", 0,
       {"qnt_probe.exe ended: exit code 0", "picture 01: Qnt setup page", "qnt_probe.exe ended: exit code 0"}, nullptr},
      {"the closing page opens a readme", "setup", shots,
       probe + "page Finish \"Qnt closing page\" " + probe + "page Close \"Qnt readme\"", 0,
       {"picture 01: Qnt closing page", "qnt_probe.exe ended: exit code 0"}, L"Qnt readme"},
      {"a program ends before it shows a window", "setup", shots, probe + "exit 7", 1,
       {"qnt_probe.exe ended: exit code 7", "the programs ended before the last button"}, nullptr},
      {"a busy box that a Retry cannot end", "uninstall", shots, probe + "box \"Qnt busy\" 1000", 1,
       {"message box \"Qnt busy\": The file is in use.",
        "given up: the box \"Qnt busy\" came back 5 times; answered with Cancel",
        "qnt_probe.exe ended: exit code 3"},
       nullptr},
      {"a build that answers a box", "build", shots, probe + "box \"Qnt build\" 2", 4,
       {"message box \"Qnt build\"", "message box \"Qnt build\"", "qnt_probe.exe ended: exit code 4"}, nullptr},
      {"a relative picture folder", "setup", "pictures", probe + "page Finish \"Qnt never shown\"", 2,
       {"the picture folder must be a Unix path from the root (/tmp/pictures): pictures is relative"},
       nullptr},
  };
  const std::string dir = ScratchDir("driver");
  int n = 0;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Case);
    // A file of its own: what a walk leaves running may hold the last one.
    const std::string out = dir + "\\driver" + std::to_string(++n) + ".txt";
    TChildProcess driver("\"" + BinDir() + "\\qnt_wizard_driver.exe\" " + row.Mode + " " + row.Folder + " " +
                             row.Command,
                         "", "", out);
    EXPECT_EQ(driver.Wait(40000), row.Code);
    const std::string said = ReadFileText(out);
    size_t at = 0;
    for (const std::string& line : row.Said) {
      at = said.find(line, at);
      if (at == std::string::npos) {
        ADD_FAILURE() << "\"" << line << "\" is not in its place in:\n" << said;
        break;
      }
    }
    EXPECT_FALSE(FindWindowW(nullptr, L"Qnt never shown"));
    if (!row.LeftRunning) continue;
    HWND left = FindWindowW(nullptr, row.LeftRunning);
    EXPECT_TRUE(left) << "the walk ended what it should have left alone";
    if (left) PostMessageW(FindWindowExW(left, nullptr, L"BUTTON", nullptr), BM_CLICK, 0, 0);
  }
}
