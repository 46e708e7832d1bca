// The archive that the round trips' setup programs install from: every file
// their modules name, each by its path on the build machine ("C:\qnt rt
// build", gone again once the archive is written).
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "classlib/SysUtils.h"
#include "classlib/WinText.h"
#include "common/TestSupport.h"
#include "engine/cmp_TInstallContainer.h"

inline void WriteRoundTripArchive(const std::string& Archive) {
  using namespace testsupport;
  const std::string src = "C:\\qnt rt build";
  ForceDirectories(src);
  for (const char* name : {"APP.TXT", "README.TXT", "OTHER.TXT", "QNTSHARE.DLL"})
    WriteFileText(src + "\\" + name, name);
  ASSERT_TRUE(CopyFileW(Widen(BinDir() + "\\qnt_unreg_dll.dll").c_str(), Widen(src + "\\QNTREG.DLL").c_str(), FALSE));
  ASSERT_TRUE(CopyFileW(Widen(BinDir() + "\\uninstall.exe").c_str(), Widen(src + "\\uninstall.exe").c_str(), FALSE));
  QlntCompress->SetCompressedFile(Archive);
  QlntCompress->SetOffset(0);
  QlntCompress->FilesToProcess()->Clear();
  for (const char* name : {"APP.TXT", "README.TXT", "OTHER.TXT", "QNTSHARE.DLL", "QNTREG.DLL", "uninstall.exe"})
    QlntCompress->FilesToProcess()->Add(src + "\\" + name);
  QlntCompress->Add(lzcOverwrite);
  RemoveTree(src);
}
