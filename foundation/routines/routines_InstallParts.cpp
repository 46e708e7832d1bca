#include "foundation/routines/routines_InstallParts.h"

#include <windows.h>

#include <cstdio>

#include "classlib/SysUtils.h"
#include "classlib/WinText.h"
#include "foundation/routines/routines_Strings.h"

namespace {
// A copy made this long before its owner's start still counts as the
// owner's: some file systems keep times in two-second steps, rounded down.
constexpr uint64_t OwnerStartSlack = 2ull * 10000000ull;

uint64_t Ticks(const FILETIME& T) { return (static_cast<uint64_t>(T.dwHighDateTime) << 32) | T.dwLowDateTime; }

// Whether the process of H has ended; false when that cannot be told.
bool Ended(HANDLE H, bool CanWait) {
  if (CanWait) return WaitForSingleObject(H, 0) == WAIT_OBJECT_0;
  DWORD code = 0;
  return GetExitCodeProcess(H, &code) && code != STILL_ACTIVE;
}
}  // namespace

std::string InstallPartName(const std::string& FileName, uint32_t Owner, uint32_t Counter) {
  char unique[24];
  std::snprintf(unique, sizeof unique, "%lx-%lx", static_cast<unsigned long>(Owner),
                static_cast<unsigned long>(Counter));
  return InstallPartName(FileName) + unique;
}

std::string InstallPartOwner(const std::string& Path) {
  const size_t folder = Path.find_last_of("\\/:");
  const size_t start = folder == std::string::npos ? 0 : folder + 1;
  const size_t at = Path.rfind(InstallPartName(""));
  return at == std::string::npos || at <= start ? Path : Path.substr(0, at);
}

bool ParseInstallPart(const std::string& Name, const std::string& FileName, uint32_t& Owner) {
  const std::string mark = InstallPartName("");
  size_t at;
  if (FileName.empty()) {
    at = UpperCase(Name).rfind(UpperCase(mark));
    if (at == std::string::npos || at == 0) return false;
  } else {
    at = FileName.size();
    if (Name.size() <= at + mark.size() || !SameText(Name.substr(0, at), FileName)) return false;
  }
  if (!SameText(Name.substr(at, mark.size()), mark)) return false;
  // Hex digits, "-", hex digits, and nothing after them.
  const std::string rest = Name.substr(at + mark.size());
  const size_t dash = rest.find('-');
  auto hex = [](const std::string& S) {
    return !S.empty() && S.size() <= 8 && S.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
  };
  if (dash == std::string::npos || !hex(rest.substr(0, dash)) || !hex(rest.substr(dash + 1))) return false;
  Owner = static_cast<uint32_t>(std::stoul(rest.substr(0, dash), nullptr, 16));
  return true;
}

bool InstallPartOwnerRuns(uint32_t Owner, uint64_t Made) {
  const bool self = Owner == GetCurrentProcessId();
  bool canWait = true;
  HANDLE h = self ? GetCurrentProcess() : OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, Owner);
  if (!h) {
    if (GetLastError() != ERROR_ACCESS_DENIED) return false;  // no such process
    // Another user's: its start time may still be readable.
    canWait = false;
    h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, Owner);
    if (!h) return true;
  }
  bool runs = !Ended(h, canWait);
  FILETIME created, exited, kernel, user;
  if (runs && Made != 0 && GetProcessTimes(h, &created, &exited, &kernel, &user) &&
      Ticks(created) > Made + OwnerStartSlack)
    runs = false;  // it took the id of the run that made the copy
  if (!self) CloseHandle(h);
  return runs;
}

std::vector<TInstallPart> InstallPartsOf(const std::string& Dir, const std::string& FileName) {
  std::vector<TInstallPart> found;
  if (Trim(Dir).empty()) return found;
  const std::string pattern = InstallPartName(FileName) + "*-*";
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(Widen(DirectoryWBS(Dir) + (FileName.empty() ? "*" : "") + pattern).c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return found;
  do {
    // The pattern also meets short names: only the long name counts.
    const std::string name = Narrow(fd.cFileName, wcslen(fd.cFileName));
    uint32_t owner = 0;
    if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && ParseInstallPart(name, FileName, owner))
      found.push_back({name, InstallPartOwnerRuns(owner, Ticks(fd.ftCreationTime))});
  } while (FindNextFileW(h, &fd));
  FindClose(h);
  return found;
}

std::vector<std::string> InstallPartsIn(const std::string& Dir, const std::string& FileName) {
  std::vector<std::string> ended;
  for (const TInstallPart& part : InstallPartsOf(Dir, FileName))
    if (!part.OwnerRuns) ended.push_back(part.Name);
  return ended;
}
