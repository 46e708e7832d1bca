#include "foundation/routines/routines_INIFiles.h"

#include <windows.h>

#include "classlib/Streams.h"
#include "classlib/SysUtils.h"
#include "classlib/WinText.h"
#include "foundation/routines/routines_API.h"
#include "foundation/routines/routines_Strings.h"

namespace {

// The lines of a text file (CR LF, LF or CR), and back with CR LF.
void LoadLinesFromFile(const std::string& FilePath, TStrings* SL) {
  TFileStream f(FilePath, fmOpenRead | fmShareDenyWrite);
  std::string text(static_cast<size_t>(f.Size()), '\0');
  if (!text.empty()) f.ReadBuffer(text.data(), static_cast<int64_t>(text.size()));
  SL->SetText(text);
}

void SaveLinesToFile(const TStrings* SL, const std::string& FilePath) {
  std::string text = SL->Text();
  TFileStream f(FilePath, fmCreate);
  if (!text.empty()) f.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
}

}  // namespace

void GetINISections(const std::string& FilePath, TStrings* SL) {
  if (!SL) return;
  SL->Clear();
  TStringList lines;
  LoadLinesFromFile(FilePath, &lines);
  for (int i = 0; i < lines.Count(); ++i) {
    // Cut the trimmed line: " [A]" names section A, as the profile functions read it.
    std::string s = Trim(lines[i]);
    if (s.size() > 1 && s[0] == '[') SL->Add(s.substr(1, s.size() - 2));
  }
}

void RemoveFileAfterBoot(const std::string& FileName) {
  if (GetWindowsVerType() == wvWin95) {
    // Windows 95 reads WININIT.INI once at its next start; it wants 8.3 names.
    // Without a short form the file cannot be named there, and an empty
    // "Nul=" line would name nothing, so nothing is written.
    std::string shortName = GetShortPath(FileName);
    if (shortName.empty()) return;
    std::string ini = DirectoryWBS(WindowsDir) + "WININIT.INI";
    TStringList lines;
    try {
      if (FileExists(ini))
        LoadLinesFromFile(ini, &lines);
      else
        lines.Add("[RENAME]");
      int at = -1;
      for (int i = 0; i < lines.Count(); ++i)
        if (SameText(lines[i], "[RENAME]")) {
          at = i + 1;
          break;
        }
      if (at < 0) {
        lines.Add("[RENAME]");
        at = lines.Count();
      }
      // The newest entry stands first in the section.
      lines.Insert(at, Format("Nul=%s", {shortName}));
      SaveLinesToFile(&lines, ini);
    } catch (const Exception&) {
    }
    return;
  }
  MoveFileExW(Widen(FileName).c_str(), nullptr, MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT);
}
