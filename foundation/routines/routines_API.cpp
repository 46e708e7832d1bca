#include "foundation/routines/routines_API.h"

#include <windows.h>

#include <string>
#include <vector>

#include "classlib/SysUtils.h"
#include "classlib/Units.h"
#include "classlib/WinText.h"
#include "foundation/exceptions_Quillant.h"
#include "foundation/routines/routines_Strings.h"

std::string WindowsDir;
std::string SystemDir;

namespace {
constexpr DWORD kShortBuf = 401;
constexpr DWORD kDirBuf = 261;

// A result of 0 is a failure, and so is one that did not fit the buffer (the
// call then reports the size it would need).
bool Fits(DWORD n, DWORD size) { return n != 0 && n < size; }
}  // namespace

std::string GetShortPath(const std::string& LongPath) {
  wchar_t buf[kShortBuf];
  std::wstring in = Widen(LongPath);
  if (in.size() >= kShortBuf) return {};
  DWORD n = GetShortPathNameW(in.c_str(), buf, kShortBuf);
  return Fits(n, kShortBuf) ? Narrow(buf, n) : std::string();
}

std::string ComparablePath(const std::string& Path) {
  const std::string s = GetShortPath(Path);
  return UpperCase(DirectoryWOBS(s.empty() ? Path : s));
}

TWindowsVerType GetWindowsVerType() {
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  BOOL ok = GetVersionExW(&info);
#pragma GCC diagnostic pop
  if (!ok) throw EAPIRoutines("Could not get information about the current version of Windows");
  switch (info.dwPlatformId) {
    case VER_PLATFORM_WIN32s:
      return wv31Win32;
    case VER_PLATFORM_WIN32_WINDOWS:
      return wvWin95;
    case VER_PLATFORM_WIN32_NT: {
      std::string v = std::to_string(info.dwMajorVersion) + "." + std::to_string(info.dwMinorVersion);
      return v.find("3.5") != std::string::npos ? wvWinNT351 : wvWinNT;
    }
    default:
      return wvUnidentified;
  }
}

std::string MakeTempFileName(bool KeepFile) {
  wchar_t dir[kDirBuf];
  DWORD n = GetTempPathW(kDirBuf, dir);
  if (!Fits(n, kDirBuf)) throw EAPIRoutines("Cannot create a temporary file");
  wchar_t name[MAX_PATH];
  if (GetTempFileNameW(dir, L"bat", 0, name) == 0) throw EAPIRoutines("Cannot create a temporary file");
  if (!KeepFile) DeleteFileW(name);
  return Narrow(std::wstring(name));
}

std::string MakeTempFileWithExt(const std::string& Ext) {
  // Each placeholder stays until the end, so that the system's next temporary
  // name is a new one when the name with Ext is already taken.
  if (_wcsicmp(Widen(Ext).c_str(), L".tmp") == 0) return MakeTempFileName(true);
  std::vector<std::string> placeholders;
  std::string made;
  for (int tries = 0; tries < 100 && made.empty(); ++tries) {
    std::string name = MakeTempFileName(true);
    placeholders.push_back(name);
    std::string target = name.substr(0, name.find_last_of('.')) + Ext;
    HANDLE h = CreateFileW(Widen(target).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) continue;
    CloseHandle(h);
    made = target;
  }
  for (const auto& p : placeholders) DeleteFileW(Widen(p).c_str());
  if (made.empty()) throw EAPIRoutines("Cannot create a temporary file");
  return made;
}

void InitRoutinesAPI() {
  wchar_t buf[kDirBuf];
  DWORD n = GetWindowsDirectoryW(buf, kDirBuf);
  if (!Fits(n, kDirBuf)) throw EAPIRoutines("Could not retrieve the windows directory from windows");
  WindowsDir = Narrow(buf, n);
  n = GetSystemDirectoryW(buf, kDirBuf);
  if (!Fits(n, kDirBuf)) throw EAPIRoutines("Could not retrieve the system directroy from windows");
  SystemDir = Narrow(buf, n);
}

namespace {
void FinRoutinesAPI() {
  WindowsDir.clear();
  SystemDir.clear();
}
TUnitRegistration registration(ulFoundation, "routines_API", InitRoutinesAPI, FinRoutinesAPI);
}  // namespace
