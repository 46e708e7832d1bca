// What the tests that install products and remove them again share.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

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

// Every key and value below Root\Key ("key\" and "key\:name", the value
// as its type and data), to compare the registry before and after.
inline void ReadRegistryTree(HKEY Root, const std::wstring& Key, std::map<std::string, std::string>& Into) {
  HKEY h = nullptr;
  if (RegOpenKeyExW(Root, Key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return;
  const std::string key = Narrow(Key);
  Into[key + "\\"] = "";
  std::vector<wchar_t> name(16384);
  std::vector<BYTE> data(4096);
  for (DWORD i = 0;;) {
    DWORD n = static_cast<DWORD>(name.size()), type = 0, size = static_cast<DWORD>(data.size());
    const LONG rc = RegEnumValueW(h, i, name.data(), &n, nullptr, &type, data.data(), &size);
    if (rc == ERROR_MORE_DATA) {
      data.resize(size + 2);
      continue;
    }
    if (rc != ERROR_SUCCESS) break;
    Into[key + "\\:" + Narrow(std::wstring(name.data(), n))] =
        std::to_string(type) + ":" + std::string(data.begin(), data.begin() + size);
    ++i;
  }
  std::vector<std::wstring> subkeys;
  for (DWORD i = 0;; ++i) {
    DWORD n = static_cast<DWORD>(name.size());
    if (RegEnumKeyExW(h, i, name.data(), &n, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    subkeys.emplace_back(name.data(), n);
  }
  RegCloseKey(h);
  for (const auto& sub : subkeys) ReadRegistryTree(Root, Key + L"\\" + sub, Into);
}

// The machine's settings (its software and system) and the user's software
// settings, Wine's own (which every program with a window changes) aside.
inline std::map<std::string, std::string> SoftwareSettings() {
  std::map<std::string, std::string> all, user;
  ReadRegistryTree(HKEY_LOCAL_MACHINE, L"Software", all);
  ReadRegistryTree(HKEY_LOCAL_MACHINE, L"System", all);
  ReadRegistryTree(HKEY_CURRENT_USER, L"Software", user);
  for (const auto& [k, v] : user)
    if (k.rfind("Software\\Wine\\", 0) != 0) all["HKCU\\" + k] = v;
  return all;
}

// What differs between two readings: "+ entry" added, "- entry" gone,
// "~ entry" changed.
inline std::vector<std::string> SettingsChanged(const std::map<std::string, std::string>& Before,
                                                const std::map<std::string, std::string>& After) {
  std::vector<std::string> changed;
  for (const auto& [k, v] : Before) {
    auto it = After.find(k);
    if (it == After.end())
      changed.push_back("- " + k);
    else if (it->second != v)
      changed.push_back("~ " + k);
  }
  for (const auto& [k, v] : After)
    if (!Before.count(k)) changed.push_back("+ " + k);
  std::sort(changed.begin(), changed.end());
  return changed;
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
