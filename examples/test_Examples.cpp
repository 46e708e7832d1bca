// The README's examples as an author runs them: each setup program builds
// its distribution with *BUILD, and its setup.exe installs it through the
// real loader; Example Journal is walked through its wizard and removed
// again by its uninstaller.
#include <gtest/gtest.h>

#include <windows.h>

#include <sstream>

#include "classlib/SysUtils.h"
#include "classlib/WinText.h"
#include "common/ForeignWindow.h"
#include "common/TestSupport.h"
#include "engine/build/RoundTripRig.h"
#include "engine/cmp_TInstallContainer.h"
#include "foundation/routines/routines_ExpandPaths.h"
#include "foundation/routines/routines_Registry.h"

using namespace testsupport;
using buildtest::TRoundTrip;

namespace {
// Runs the wizard driver; its exit code, and in Walked the captions of the
// windows it met, in its order, each followed by '|' (its lines
// "  picture NN: <caption>", which it writes whether or not the picture
// itself could be taken).
long Drive(const std::string& Mode, const std::string& Pictures, const std::string& CommandLine,
           const std::string& WorkDir, std::string& Walked) {
  const std::string log = Pictures + "\\" + Mode + ".log";
  TChildProcess driver(
      "\"" + BinDir() + "\\qnt_wizard_driver.exe\" " + Mode + " " + UnixPathOf(Pictures) + " " + CommandLine, WorkDir,
      "", log);
  const long code = driver.Started() ? driver.Wait(240000) : -1;
  std::istringstream lines(ReadFileText(log));
  Walked.clear();
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t colon = line.find(": ");
    if (line.rfind("  picture ", 0) == 0 && colon != std::string::npos) {
      std::string caption = line.substr(colon + 2);
      const size_t note = caption.find(" (not on the display");
      Walked += caption.substr(0, note) + "|";
    }
  }
  return code;
}

// The SharedDLLs count of a file, 0 when it has none.
DWORD SharedCount(const std::string& File) {
  DWORD count = 0, size = sizeof count;
  if (RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs", Widen(File).c_str(),
                   RRF_RT_REG_DWORD, nullptr, &count, &size) != ERROR_SUCCESS)
    return 0;
  return count;
}
}  // namespace

// Example Notes (examples/making-a-setup): its program, shipped without
// debugging information, builds the distribution, and its setup.exe
// installs the two files (one named beyond ASCII), the uninstaller with its
// uninstall entry, and the shortcuts in the Start menu and on the desktop.
TEST(Examples, NotesInstallsTwoFilesShortcutAndUninstaller) {
  const std::string program = BinDir() + "\\NotesSetup.exe";
  const std::string debug = ReadFileText(program + ".debug"), shipped = ReadFileText(program);
  EXPECT_LT(shipped.size(), 4000000u);
  EXPECT_GT(debug.size(), 4 * shipped.size());
  EXPECT_NE(shipped.find("NotesSetup.exe.debug"), std::string::npos);  // the link to its debugging information

  const std::string sources = "C:\\Example Notes Files", readme = "L\xC3\xA4s mig.txt";
  TRoundTrip rt(ExpandProgramFilesDir() + "\\Example Notes", sources);
  WriteFileText(sources + "\\Notes.txt", "notes\r\n");
  WriteFileText(sources + "\\" + readme, "l\xC3\xA4s mig\r\n");
  CopyProgram("uninstall.exe", sources, "uninstall.exe");
  rt.BuildDistribution("NotesSetup.exe", "NotesSetup.exe");

  const std::string link = ExpandProgramMenuDir() + "\\Example Notes\\L\xC3\xA4s mig.LNK";
  const std::string record = UninstallKeyFor("Example Notes");
  ASSERT_EQ(RunAndWait("\"" + rt.Build + "\\setup.exe\"", rt.Build, 120000), 0);
  for (int i = 0; i < 600 && GetRVStr(hkLocalMachine, record, "UninstallString", "").empty(); ++i) Sleep(100);
  Sleep(500);
  for (const std::string name : {"Notes.txt", readme.c_str(), "uninstall.exe"})
    EXPECT_TRUE(ReadFileText(rt.Dest + "\\" + name) == ReadFileText(sources + "\\" + name)) << name;
  EXPECT_EQ(GetRVStr(hkLocalMachine, record, "UninstallString", ""),
            "\"" + rt.Dest + "\\uninstall.exe\" Example Notes");
  EXPECT_TRUE(FileExists(link)) << link;
  RemoveTree(ExtractFileDir(link));
  const std::string desktop = ExpandDesktopDir() + "\\Notes.LNK";
  EXPECT_TRUE(FileExists(desktop)) << desktop;
  DeleteFileW(Widen(desktop).c_str());
}

// Example Journal (examples/complete-example), walked through its wizard
// with the default answers (welcome, file groups, Start-menu folder, copy
// progress, its own closing page): the group that is always installed, the
// one in a subfolder, not the one off by default; its shared DLL replaces an
// older copy that another product installed in Common Files, and counts
// one user more; the shortcuts in the Start menu (the uninstaller's among
// them) and on the desktop. Its uninstaller then removes all of it but the
// shared DLL, which the other product still uses.
TEST(Examples, JournalInstallsThroughItsWizardAndUninstalls) {
  const std::string sources = "C:\\Example Journal Files";
  TRoundTrip rt(ExpandProgramFilesDir() + "\\Example Journal", sources);
  for (const char* name : {"Journal.txt", "Help.txt", "Sample.txt"})
    WriteFileText(sources + "\\" + name, std::string(name) + "\r\n");
  CopyProgram("uninstall.exe", sources, "uninstall.exe");
  CopyProgram("JOURNAL.dll", sources, "JOURNAL.DLL");
  rt.BuildDistribution("JournalSetup.exe", "JournalSetup.exe");

  // Version 1.0 of the shared DLL, which another product installed.
  const std::string sharedDir = ExpandCommonFilesDir() + "\\Example Works", shared = sharedDir + "\\JOURNAL.DLL";
  ForceDirectories(sharedDir);
  ASSERT_TRUE(CopyFileW(Widen(BinDir() + "\\journal-1.0\\JOURNAL.dll").c_str(), Widen(shared).c_str(), FALSE));
  WriteRVInteger(hkLocalMachine, "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs", shared, 1);

  // Pictures of the pages beside the build's programs, to look at.
  const std::string pictures = BinDir() + "\\..\\guide-pictures";
  RemoveTree(pictures);
  ForceDirectories(pictures);
  std::string walked;
  ASSERT_EQ(Drive("setup", pictures, "\"" + rt.Build + "\\setup.exe\"", rt.Build, walked), 0);
  // In this order (the copy-progress window may come and go between two looks).
  size_t at = 0;
  for (const char* page :
       {"Welcome|", "Select components to install|", "Select folder in start menu|", "Example Journal is installed|"}) {
    at = walked.find(page, at);
    if (at == std::string::npos) {
      ADD_FAILURE() << page << " is not in its place among " << walked;
      break;
    }
  }
  const std::string menu = ExpandProgramMenuDir() + "\\Example Journal";
  const std::vector<std::string> installed = {rt.Dest + "\\Journal.txt", rt.Dest + "\\Help\\Help.txt",
                                              menu + "\\Journal.LNK", menu + "\\Remove Example Journal.LNK",
                                              ExpandDesktopDir() + "\\Example Journal.LNK"};
  for (const std::string& file : installed) EXPECT_TRUE(FileExists(file)) << file;
  EXPECT_TRUE(ReadFileText(rt.Dest + "\\uninstall.exe") == ReadFileText(sources + "\\uninstall.exe"));
  EXPECT_FALSE(FileExists(rt.Dest + "\\Sample.txt"));
  EXPECT_TRUE(ReadFileText(shared) == ReadFileText(sources + "\\JOURNAL.DLL")) << "version 1.0 was not replaced";
  EXPECT_EQ(SharedCount(shared), 2u);

  const std::string record = UninstallKeyFor("Example Journal");
  const std::string uninstall = GetRVStr(hkLocalMachine, record, "UninstallString", "");
  ASSERT_EQ(uninstall, "\"" + rt.Dest + "\\uninstall.exe\" Example Journal");
  EXPECT_EQ(Drive("uninstall", pictures, uninstall, "C:\\", walked), 0);
  for (const std::string& file : installed) EXPECT_FALSE(FileExists(file)) << file;
  EXPECT_EQ(GetRVStr(hkLocalMachine, record, "UninstallString", ""), "");
  EXPECT_TRUE(FileExists(shared));
  EXPECT_EQ(SharedCount(shared), 1u);
  RemoveTree(menu);
  RemoveTree(sharedDir);
}
