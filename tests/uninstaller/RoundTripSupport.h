// What the tests that install products and remove them again share.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "classlib/Registry.h"
#include "classlib/SysUtils.h"
#include "classlib/WinText.h"
#include "common/TestSupport.h"
#include "engine/cmp_TInstallContainer.h"
#include "foundation/routines/routines_Registry.h"

inline bool KeyExists(TRootKeys Root, const std::string& Key) {
  TRegistry reg(KEY_READ);
  SetTheRoot(&reg, Root);
  return reg.OpenKeyReadOnly(Key);
}

// A distribution folder holding the archive that the round trips' setup
// programs install from (every file their modules name, each by its path
// on the build machine, "C:\qnt rt build", which is gone again once the
// archive is written), and a work folder for the programs.
class RoundTripFolders : public ::testing::Test {
protected:
  void SetUp() override {
    using namespace testsupport;
    FDist = ScratchDir("round trip dist");
    FWork = ScratchDir("round trip work");
    const std::string src = "C:\\qnt rt build";
    ForceDirectories(src);
    for (const char* name : {"APP.TXT", "README.TXT", "OTHER.TXT", "QNTSHARE.DLL"})
      WriteFileText(src + "\\" + name, name);
    ASSERT_TRUE(
        CopyFileW(Widen(BinDir() + "\\qnt_unreg_dll.dll").c_str(), Widen(src + "\\QNTREG.DLL").c_str(), FALSE));
    ASSERT_TRUE(
        CopyFileW(Widen(BinDir() + "\\uninstall.exe").c_str(), Widen(src + "\\uninstall.exe").c_str(), FALSE));
    QlntCompress->SetCompressedFile(FDist + "\\files.1");
    QlntCompress->SetOffset(0);
    QlntCompress->FilesToProcess()->Clear();
    for (const char* name : {"APP.TXT", "README.TXT", "OTHER.TXT", "QNTSHARE.DLL", "QNTREG.DLL", "uninstall.exe"})
      QlntCompress->FilesToProcess()->Add(src + "\\" + name);
    QlntCompress->Add(lzcOverwrite);
    RemoveTree(src);
  }
  void TearDown() override {
    testsupport::RemoveTree(FDist);
    testsupport::RemoveTree(FWork);
  }

  std::string FDist, FWork;
};
