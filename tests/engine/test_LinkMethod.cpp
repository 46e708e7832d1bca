// Built three times, each run with another Windows version reported by Wine:
// Program Manager items on Windows NT 3.51, shell links on NT 4 and the
// Windows 95 family.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>

#include <cstdlib>
#include <memory>

#include "FakeProgman.h"
#include "common/TestSupport.h"
#include "engine/cmp_TInstallShellLink.h"
#include "engine/cmp_TProgramManager.h"
#include "foundation/routines/routines_API.h"
#include "foundation/routines/routines_ExpandPaths.h"

TEST(LinkMethod, ChosenByTheReportedWindowsVersion) {
  CoInitialize(nullptr);
  const char* reported = std::getenv("QNT_WINE_VERSION");
  const bool nt351 = reported && std::string(reported) == "nt351";
  EXPECT_EQ(GetWindowsVerType(), nt351 ? wvWinNT351 : (std::string(reported ? reported : "") == "win95" ? wvWin95 : wvWinNT));

  FakeProgman server(FakeProgman::UniqueService());
  ProgramManager->Service = FakeProgman::UniqueService();
  TComponent module(nullptr);
  auto* link = new TInstallShellLink(&module);
  link->SetName("Pad");
  link->SetDestDirType(ddProgramMenuDir);
  link->SetDestDir("\\QntMethod");
  const std::string notepad = WindowsDir + "\\notepad.exe";
  link->SetObjectLocation(notepad);
  link->Install();

  // A main-folder shortcut's base is its folder: Program Manager gets nothing for it.
  auto* folder = new TMainLinkGroup(&module);
  folder->SetDestDir("\\QntMethodMain");
  auto* mainLink = new TInstallMainLink(&module);
  mainLink->SetName("MainPad");
  mainLink->SetObjectLocation(notepad);
  mainLink->Install();

  const std::string programs = ExpandProgramMenuDir();
  if (nt351) {
    EXPECT_EQ(server.Commands(),
              (std::vector<std::string>{"[CreateGroup(\"QntMethod\")]", "[ShowGroup(QntMethod,8)]",
                                        "[AddItem(\"" + notepad + "\" ,notepad,,0,,,\"" + WindowsDir + "\",)]"}));
    EXPECT_FALSE(FileExists(programs + "\\QntMethod\\notepad.LNK"));
    EXPECT_FALSE(FileExists(programs + "\\QntMethodMain\\notepad.LNK"));
  } else {
    EXPECT_TRUE(server.Commands().empty());
    EXPECT_TRUE(FileExists(programs + "\\QntMethod\\notepad.LNK"));
    EXPECT_TRUE(FileExists(programs + "\\QntMethodMain\\notepad.LNK"));
  }
  testsupport::RemoveTree(programs + "\\QntMethod");
  testsupport::RemoveTree(programs + "\\QntMethodMain");
}
