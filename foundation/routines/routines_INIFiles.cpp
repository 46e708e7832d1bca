#include "foundation/routines/routines_INIFiles.h"

#include <windows.h>

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
