// One product, one run at a time, through the real programs: a setup of the
// product that waits on its welcome page holds it against the product's
// uninstaller and a second setup of it, which say what runs and wait for
// Retry; a setup of another product goes on meanwhile; a setup that must
// finish after the restart holds the product until then. Runs in a prefix of
// its own.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "classlib/Registry.h"
#include "classlib/SysUtils.h"
#include "classlib/WinText.h"
#include "common/PageRunner.h"
#include "common/TestSupport.h"
#include "engine/cmp_TInstall.h"
#include "engine/cmp_TInstallContainer.h"
#include "foundation/routines/routines_ExpandPaths.h"
#include "foundation/routines/routines_ProductLock.h"
#include "foundation/routines/routines_Registry.h"
#include "common/ForeignWindow.h"
#include "uninstaller/RoundTripSupport.h"
#include "uninstaller/UninstallCore.h"

using namespace testsupport;

namespace {

struct TButtonOf {
  DWORD Pid;
  HWND Button = nullptr;
};

BOOL CALLBACK NextButton(HWND W, LPARAM L) {
  wchar_t text[64] = {};
  GetWindowTextW(W, text, 64);
  if (lstrcmpW(text, L"Next >") != 0 || !IsWindowVisible(W) || !IsWindowEnabled(W)) return TRUE;
  reinterpret_cast<TButtonOf*>(L)->Button = W;
  return FALSE;
}

BOOL CALLBACK PageOf(HWND W, LPARAM L) {
  auto* s = reinterpret_cast<TButtonOf*>(L);
  DWORD pid = 0;
  GetWindowThreadProcessId(W, &pid);
  if (pid != s->Pid || !IsWindowVisible(W)) return TRUE;
  EnumChildWindows(W, NextButton, L);
  return s->Button == nullptr;
}

// The "Next >" button of a page that process Pid shows; null when none.
HWND NextOf(uint32_t Pid) {
  TButtonOf s{Pid};
  EnumWindows(PageOf, reinterpret_cast<LPARAM>(&s));
  return s.Button;
}

// Waits for the welcome page of the setup P and clicks its "Next >".
bool ClickNext(const TChildProcess& P) {
  for (int i = 0; i < 600; ++i, Sleep(100))
    if (HWND next = NextOf(P.Pid())) return PostMessageW(next, BM_CLICK, 0, 0) != 0;
  return false;
}

bool WaitForPage(const TChildProcess& P) {
  for (int i = 0; i < 600; ++i, Sleep(100))
    if (NextOf(P.Pid())) return true;
  return false;
}

class OneRunPerProduct : public RoundTripFolders {
protected:
  void SetUp() override {
    RoundTripFolders::SetUp();
    FSetup = "\"" + CopyProgram("qnt_one_run_product.exe", FWork, "setup one.exe") + "\" *NOTSELFEXTRACT setup.exe " +
             FDist;
    Dest = ExpandProgramFilesDir() + "\\" + Product;
  }
  std::string Key() const { return std::string(UninstallRootKey) + Product; }
  std::vector<std::string> Installed() const { return {Dest + "\\APP.TXT", Dest + "\\README.TXT", Dest + "\\uninstall.exe"}; }
  bool Whole() const {
    for (const auto& f : Installed())
      if (!FileExists(f)) return false;
    return GetRVStr(hkLocalMachine, Key(), "DisplayName", "") == Product;
  }
  std::string Busy(const std::string& Run) const {
    return Run + " of " + Product + " is running. Finish or cancel it, then click Retry.";
  }

  const std::string Product = "Qnt One Run";
  std::string FSetup, Dest;
};

TEST_F(OneRunPerProduct, AnUninstallDuringASetupRemovesNothingUntilTheSetupEnds) {
  {
    TChildProcess first(FSetup, FWork);
    ASSERT_TRUE(ClickNext(first));
    ASSERT_EQ(first.Wait(60000), 0);
  }
  ASSERT_TRUE(Whole());
  const std::string uninstall = GetRVStr(hkLocalMachine, Key(), "UninstallString", "");

  TChildProcess setup(FSetup, FWork);
  ASSERT_TRUE(WaitForPage(setup));
  // Cancel: nothing removed, and the exit code says so.
  {
    TChildProcess u(uninstall);
    ASSERT_TRUE(ClickForeignButton(u.Pid(), "Remove " + Product, "&Start", 30000));
    TForeignBox box = AnswerForeignDialog(u.Pid(), [](const std::string&) { return IDCANCEL; }, 30000);
    EXPECT_EQ(box.Text, Busy("Setup"));
    EXPECT_EQ(box.Caption, "Remove " + Product);
    EXPECT_EQ(u.Wait(30000), uoBusy);
    EXPECT_TRUE(Whole());
  }
  // Retry while the setup runs asks again; once it has ended, the removal goes.
  TChildProcess u(uninstall);
  ASSERT_TRUE(ClickForeignButton(u.Pid(), "Remove " + Product, "&Start", 30000));
  EXPECT_EQ(AnswerForeignDialog(u.Pid(), [](const std::string&) { return IDRETRY; }, 30000).Text, Busy("Setup"));
  TForeignBox again = AnswerForeignDialog(
      u.Pid(),
      [&](const std::string&) {
        EXPECT_TRUE(Whole());
        EXPECT_TRUE(ClickNext(setup));
        EXPECT_EQ(setup.Wait(60000), 0);
        return IDRETRY;
      },
      30000);
  EXPECT_EQ(again.Text, Busy("Setup"));
  // The setup could replace the running uninstaller's file only at the
  // restart: until then nothing goes.
  EXPECT_EQ(AnswerForeignDialog(u.Pid(), [](const std::string&) { return IDOK; }, 30000).Text,
            SetupWaitsMessage(Product));
  EXPECT_EQ(u.Wait(30000), uoSetupWaits);
  EXPECT_TRUE(Whole());
  ASSERT_EQ(RunAndWait("wineboot.exe -r", "", 180000), 0);
  TChildProcess after(uninstall);
  ASSERT_TRUE(ClickForeignButton(after.Pid(), "Remove " + Product, "&Start", 30000));
  TForeignBox closing = AnswerForeignDialog(after.Pid(), [](const std::string&) { return IDOK; }, 30000);
  EXPECT_NE(closing.Text.find("will be removed after you reboot"), std::string::npos) << closing.Text;
  EXPECT_EQ(after.Wait(30000), uoRemoved);
  // Its running uninstaller goes at the restart.
  EXPECT_FALSE(FileExists(Dest + "\\APP.TXT"));
  EXPECT_FALSE(FileExists(Dest + "\\README.TXT"));
  EXPECT_FALSE(KeyExists(hkLocalMachine, Key()));
}

TEST_F(OneRunPerProduct, ASecondSetupWaitsForRetryThenInstalls) {
  TChildProcess first(FSetup, FWork);
  ASSERT_TRUE(WaitForPage(first));
  // Another product's setup is not held up.
  const std::string other = CopyProgram("qnt_roundtrip_other.exe", FWork, "setup other.exe");
  EXPECT_EQ(RunAndWait("\"" + other + "\" *NOTSELFEXTRACT setup.exe " + FDist, FWork, 60000), 0);
  EXPECT_TRUE(FileExists(ExpandProgramFilesDir() + "\\Qnt Other Product\\OTHER.TXT"));

  TChildProcess second(FSetup, FWork);
  TForeignBox box = AnswerForeignDialog(second.Pid(), [](const std::string&) { return IDRETRY; }, 30000);
  EXPECT_EQ(box.Text, Busy("Setup"));
  EXPECT_EQ(box.Caption, "Quillant Test Product");
  // Still held: asked again, no page of its own.
  TForeignBox again = AnswerForeignDialog(
      second.Pid(),
      [&](const std::string&) {
        EXPECT_EQ(NextOf(second.Pid()), nullptr);
        EXPECT_TRUE(ClickNext(first));
        EXPECT_EQ(first.Wait(60000), 0);
        // What the second setup installs is then its own.
        for (const auto& f : Installed()) DeleteFileW(Widen(f).c_str());
        return IDRETRY;
      },
      30000);
  EXPECT_EQ(again.Text, Busy("Setup"));
  ASSERT_TRUE(ClickNext(second));
  EXPECT_EQ(second.Wait(60000), 0);
  EXPECT_TRUE(Whole());
  EXPECT_EQ(ReadFileText(Dest + "\\APP.TXT"), "APP.TXT");
}

TEST_F(OneRunPerProduct, EachRunSaysWhichRunHoldsTheProductAndCancelChangesNothing) {
  // This process holds the product as the other run would.
  const std::string runOnce = "\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
  struct Row {
    TProductRun Holder;
    const char* Arguments;  // after the program
    const char* Says;
  } rows[] = {
      {prUninstall, " *NOTSELFEXTRACT setup.exe ", "Uninstall"},
      // The run after a restart: Windows took its continuation to start it,
      // so Cancel puts it back for the next start.
      {prSetup, " *ABOOT *NOSELFEXTRACT setup.exe ", "Setup"},
  };
  const std::string program = CopyProgram("qnt_one_run_product.exe", FWork, "setup two.exe");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Says);
    TProductLock held(Product, row.Holder);
    ASSERT_TRUE(held.Take(nullptr));
    TChildProcess setup("\"" + program + "\"" + row.Arguments + FDist, FWork);
    TForeignBox box = AnswerForeignDialog(
        setup.Pid(),
        [&](const std::string&) {
          // A picture of the box to look at, when asked for.
          if (const char* shot = std::getenv("QNT_SCREENSHOT"); shot && row.Holder == prUninstall)
            Screenshot(GetForegroundWindow(), shot);
          return IDCANCEL;
        },
        30000);
    EXPECT_EQ(box.Text, Busy(row.Says));
    EXPECT_EQ(setup.Wait(30000), 0);
    EXPECT_FALSE(DirectoryExists(Dest));
    const std::string continuation = GetRVStr(hkLocalMachine, runOnce, ContinuationValueName, "");
    EXPECT_EQ(continuation.find(" *ABOOT *NOSELFEXTRACT setup.exe ") != std::string::npos, row.Holder == prSetup)
        << continuation;
    DeleteIdent(hkLocalMachine, runOnce, ContinuationValueName);
  }
}

}  // namespace
