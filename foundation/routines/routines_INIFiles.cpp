#include "foundation/routines/routines_INIFiles.h"

#include <windows.h>

#include <set>
#include <vector>

#include "classlib/SysUtils.h"
#include "classlib/WinText.h"
#include "foundation/routines/routines_API.h"
#include "foundation/routines/routines_Strings.h"

void GetINISections(const std::string& FilePath, TStrings* SL) {
  if (!SL) return;
  SL->Clear();
  TStringList lines;
  lines.LoadFromFile(FilePath);
  for (int i = 0; i < lines.Count(); ++i) {
    // Cut the trimmed line: " [A]" names section A, as the profile functions read it.
    std::string s = Trim(lines[i]);
    if (s.size() > 1 && s[0] == '[') SL->Add(s.substr(1, s.size() - 2));
  }
}

bool WriteWininitRename(const std::string& Target, const std::string& Source) {
  // Written as text, one file for every caller: the profile functions cache
  // WININIT.INI on the Windows 95 family, so two writers could lose a line.
  std::string ini = DirectoryWBS(WindowsDir) + "WININIT.INI";
  TStringList lines;
  try {
    if (FileExists(ini)) lines.LoadFromFile(ini);
    int at = -1;
    for (int i = 0; i < lines.Count(); ++i)
      if (SameText(Trim(lines[i]), "[RENAME]")) {
        at = i + 1;
        break;
      }
    if (at < 0) {
      lines.Add("[RENAME]");
      at = lines.Count();
    }
    // The newest entry stands first in the section.
    lines.Insert(at, Target + "=" + Source);
    lines.SaveToFile(ini);
    // Only a line that is really in the file counts.
    TStringList check;
    check.LoadFromFile(ini);
    return check.IndexOf(Target + "=" + Source) >= 0;
  } catch (const Exception&) {
    return false;
  }
}

bool RemoveFileAfterBoot(const std::string& FileName) {
  if (GetWindowsVerType() == wvWin95) {
    // Windows 95 reads WININIT.INI once at its next start; it wants 8.3 names.
    // Without a short form the file cannot be named there, and an empty
    // "Nul=" line would name nothing, so nothing is written.
    std::string shortName = GetShortPath(FileName);
    if (shortName.empty()) return false;
    return WriteWininitRename("Nul", shortName);
  }
  return MoveFileExW(Widen(FileName).c_str(), nullptr, MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
}

bool RemoveFolderAfterBoot(const std::string& Dir) {
  if (GetWindowsVerType() == wvWin95) return false;
  // The restart takes the list in order and removes a folder only when it is
  // empty, so a folder named after its files goes with them.
  return MoveFileExW(Widen(DirectoryWOBS(Dir)).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
}

namespace {
// Path and every folder above it, upper case, each as given and in its short
// form (the short form of a folder is the start of that of what it holds):
// the names a scheduled deletion may give them.
class TKeptPaths {
public:
  explicit TKeptPaths(std::string Path) : FPath(std::move(Path)) {}
  bool Names(const std::string& Entry) {
    if (FKeys.empty())
      for (std::string p : {UpperCase(DirectoryWOBS(FPath)), ComparablePath(FPath)})
        for (;;) {
          FKeys.insert(p);
          const size_t at = p.find_last_of('\\');
          if (at == std::string::npos || at == 0 || p[at - 1] == '\\') break;
          p.erase(at);
        }
    return FKeys.count(UpperCase(DirectoryWOBS(Trim(Entry)))) > 0;
  }

private:
  std::string FPath;
  std::set<std::string> FKeys;  // made at the first deletion met
};

// The path a pending rename names, as the system stores it ("\??\C:\x",
// "\??\UNC\server\share\x"), in the form the user knows.
std::string DosPath(const std::wstring& Stored) {
  if (Stored.rfind(L"\\??\\UNC\\", 0) == 0) return "\\\\" + Narrow(Stored.substr(8));
  if (Stored.rfind(L"\\??\\", 0) == 0) return Narrow(Stored.substr(4));
  return Narrow(Stored);
}

// Takes the deletions of Kept out of the list of pending renames Value (pairs
// of source and target; an empty target deletes the source). Others counts
// the deletions that stay.
bool WithdrawPending(HKEY Key, bool CanWrite, const wchar_t* Value, TKeptPaths& Kept, int& Others) {
  DWORD type = 0, size = 0;
  if (RegQueryValueExW(Key, Value, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_MULTI_SZ)
    return true;  // none, or no list the restart would take
  std::vector<wchar_t> data(size / sizeof(wchar_t) + 2, L'\0');
  if (RegQueryValueExW(Key, Value, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS)
    return false;
  std::vector<std::wstring> items;
  for (size_t start = 0, i = 0; i < size / sizeof(wchar_t); ++i)
    if (data[i] == L'\0') {
      items.emplace_back(data.data() + start, i - start);
      start = i + 1;
    }
  if (items.size() % 2 && items.back().empty()) items.pop_back();  // the list's end
  if (items.size() % 2) return true;  // no list of pairs: left as it is
  std::wstring kept;
  bool withdrawn = false;
  for (size_t i = 0; i < items.size(); i += 2) {
    const bool deletion = items[i + 1].empty();
    if (deletion && Kept.Names(DosPath(items[i]))) {
      withdrawn = true;
      continue;
    }
    if (deletion) ++Others;
    kept += items[i] + L'\0' + items[i + 1] + L'\0';
  }
  if (!withdrawn) return true;
  if (!CanWrite) return false;
  if (kept.empty()) return RegDeleteValueW(Key, Value) == ERROR_SUCCESS;
  kept += L'\0';
  return RegSetValueExW(Key, Value, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(kept.data()),
                        static_cast<DWORD>(kept.size() * sizeof(wchar_t))) == ERROR_SUCCESS;
}

// The same for the "Nul=" lines of WININIT.INI's [RENAME] section.
bool WithdrawWininit(TKeptPaths& Kept) {
  const std::string ini = DirectoryWBS(WindowsDir) + "WININIT.INI";
  if (!FileExists(ini)) return true;
  try {
    TStringList lines;
    lines.LoadFromFile(ini);
    bool inRename = false, withdrawn = false;
    for (int i = 0; i < lines.Count();) {
      const std::string line = Trim(lines[i]);
      const size_t eq = line.find('=');
      if (!line.empty() && line[0] == '[') {
        inRename = SameText(line, "[RENAME]");
      } else if (inRename && eq != std::string::npos && SameText(Trim(line.substr(0, eq)), "Nul") &&
                 Kept.Names(line.substr(eq + 1))) {
        lines.Delete(i);
        withdrawn = true;
        continue;
      }
      ++i;
    }
    if (withdrawn) lines.SaveToFile(ini);
    return true;
  } catch (const Exception&) {
    return false;
  }
}

// The key that holds the pending renames, opened once: a setup asks at every
// file it puts in place. Clear while the lists held no deletion at all when
// the key last changed (Changed), so that a run on a machine without any
// asks the system once per file.
struct TSessionManager {
  HKEY Key = nullptr;
  bool CanWrite = true;
  bool Clear = false;
  FILETIME Changed{};
};

TSessionManager& SessionManager() {
  static TSessionManager sm = [] {
    TSessionManager s;
    const wchar_t* const name = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, name, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &s.Key) != ERROR_SUCCESS) {
      s.CanWrite = false;
      if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, name, 0, KEY_QUERY_VALUE, &s.Key) != ERROR_SUCCESS) s.Key = nullptr;
    }
    return s;
  }();
  return sm;
}

bool LastChange(HKEY Key, FILETIME& Changed) {
  return RegQueryInfoKeyW(Key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                          nullptr, &Changed) == ERROR_SUCCESS;
}
}  // namespace

bool KeepAfterBoot(const std::string& Path) {
  TKeptPaths kept(Path);
  if (GetWindowsVerType() == wvWin95) return WithdrawWininit(kept);
  TSessionManager& sm = SessionManager();
  if (!sm.Key) return true;
  FILETIME changed{};
  const bool dated = LastChange(sm.Key, changed);
  if (dated && sm.Clear && CompareFileTime(&changed, &sm.Changed) == 0) return true;
  // Newer systems keep a second list beside the first.
  bool withdrawn = true;
  int others = 0;
  for (const wchar_t* value : {L"PendingFileRenameOperations", L"PendingFileRenameOperations2"})
    if (!WithdrawPending(sm.Key, sm.CanWrite, value, kept, others)) withdrawn = false;
  sm.Clear = withdrawn && others == 0 && LastChange(sm.Key, sm.Changed);
  return withdrawn;
}
