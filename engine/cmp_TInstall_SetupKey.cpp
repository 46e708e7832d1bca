// The setup key, the job list and the continuation command.
#include <windows.h>

#include <cstdint>
#include <cstring>

#include "classlib/Registry.h"
#include "classlib/WinText.h"
#include "engine/cmp_TInstall.h"
#include "foundation/routines/routines_Strings.h"
#include "foundation/routines/routines_UninstallRecord.h"
#include "foundation/translator/cmp_TTranslator.h"

const char* const SCannotReadUnfinished =
    "The TInstall could not either write or read unfinished business from the registry";
const char* const SCannotRegisterRunOnce =
    "Cannot register the install to be run on reboot in the RunOnce key in the registry";
const char* const SInvalidUnfinishedEntry = "There is an invalid entry for the unfinished install list %s";

namespace {

const char* const QuillantKey = "\\Software\\Quillant";

std::string UnfinishedKey(const std::string& Key) { return DirectoryWBS(Key) + "Unfinished"; }

void RequireKey(const std::string& Key) {
  if (Key.empty()) throw IEInstall(SCannotReadUnfinished);
}

// The three values a key must hold to be matched; false when any is missing
// or of another type.
bool ReadStamp(const TRegistry& Reg, TDateTime& Date, int32_t& Size) {
  try {
    if (!Reg.ValueExists("Path")) return false;
    (void)Reg.ReadString("Path");
    Date = Reg.ReadDateTime("CreationDate");
    Size = Reg.ReadInteger("Size");
    return true;
  } catch (const ERegistryException&) {
    return false;
  }
}

bool SameDate(TDateTime A, TDateTime B) { return std::memcmp(&A, &B, sizeof A) == 0; }

}  // namespace

bool ReadProgramFileStamp(const std::string& Path, TDateTime& Date, int32_t& Size) {
  WIN32_FILE_ATTRIBUTE_DATA fad;
  if (!GetFileAttributesExW(Widen(Path).c_str(), GetFileExInfoStandard, &fad)) return false;
  if (fad.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
  uint64_t ft = (static_cast<uint64_t>(fad.ftLastWriteTime.dwHighDateTime) << 32) | fad.ftLastWriteTime.dwLowDateTime;
  int32_t dos;
  if (!FileTimeToLocalDosDateTime(ft, dos)) return false;
  try {
    Date = FileDateToDateTime(dos);
  } catch (const EConvertError&) {
    return false;
  }
  Size = static_cast<int32_t>(fad.nFileSizeLow);
  return true;
}

std::string FindSetupKey(const std::string& ProgramPath, TDateTime LastRunDate, bool Create) {
  TDateTime date = 0;
  int32_t size = 0;
  if (!ReadProgramFileStamp(ProgramPath, date, size)) return {};
  try {
    TRegistry list;
    SetTheRoot(&list, InstallListRootKey);
    if (!list.OpenKey(InstallListKey, true)) return {};
    TStringList names;
    list.GetKeyNames(&names);
    for (int i = 0; i < names.Count(); ++i) {
      TRegistry reg;
      SetTheRoot(&reg, InstallListRootKey);
      const std::string key = DirectoryWBS(InstallListKey) + names[i];
      if (!reg.OpenKey(key, false)) continue;
      TDateTime d = 0;
      int32_t s = 0;
      if (!ReadStamp(reg, d, s) || !SameDate(d, date) || s != size) continue;
      try {
        reg.WriteDateTime("LastRunDate", LastRunDate);
        reg.WriteString("Path", ProgramPath);
      } catch (const ERegistryException&) {
        return {};
      }
      return key;
    }
    if (!Create) return {};
    std::string name;
    for (long long n = 0;; ++n) {
      name = Format("Install%d", {n});
      if (names.IndexOf(name) < 0) break;  // IndexOf ignores case
    }
    const std::string key = DirectoryWBS(InstallListKey) + name;
    TRegistry reg;
    SetTheRoot(&reg, InstallListRootKey);
    if (!reg.OpenKey(key, true)) return {};
    try {
      reg.WriteString("Path", ProgramPath);
      reg.WriteDateTime("LastRunDate", LastRunDate);
      reg.WriteDateTime("CreationDate", date);
      reg.WriteInteger("Size", size);
    } catch (const ERegistryException&) {
      return {};
    }
    reg.SetLazyWrite(false);  // written through before anything else may stop the program
    reg.CloseKey();
    return key;
  } catch (const Exception&) {
    return {};
  }
}

void DeleteSetupKey(const std::string& Key) {
  if (Trim(Key).empty()) return;
  TStringList names;
  {
    TRegistry reg;
    SetTheRoot(&reg, InstallListRootKey);
    if (!reg.OpenKeyReadOnly(Key)) return;
    reg.GetKeyNames(&names);
  }
  for (int i = 0; i < names.Count(); ++i) {
    const std::string sub = DirectoryWBS(Key) + names[i];
    const std::string local = Trim(GetRVStr(InstallListRootKey, sub, "LocalFile", ""));
    if (!local.empty()) RemoveFile(local);  // a download that cannot go stays; the run does not fail
    DeleteKey(InstallListRootKey, sub);
  }
  DeleteKey(InstallListRootKey, Key);
  // The parents go only when nothing else lives under them.
  for (const char* parent : {InstallListKey, QuillantKey}) {
    TRegistry reg;
    SetTheRoot(&reg, InstallListRootKey);
    if (!reg.OpenKeyReadOnly(parent)) return;
    const bool empty = !reg.HasSubKeys();
    reg.CloseKey();
    if (!empty) return;
    reg.DeleteKey(parent);
  }
}

void WriteSetupKeyLanguage(const std::string& Key) {
  if (!MTranslator) return;
  WriteRVInteger(InstallListRootKey, Key, "Language", static_cast<int32_t>(MTranslator->TranslateIntoLanguage()));
}

bool ReadSetupKeyLanguage(const std::string& Key, int& Ordinal) {
  if (Key.empty()) return false;
  try {
    TRegistry reg(KEY_READ);
    SetTheRoot(&reg, InstallListRootKey);
    if (!reg.OpenKeyReadOnly(Key) || !reg.ValueExists("Language")) return false;
    int32_t v = reg.ReadInteger("Language");
    if (v < 0 || v > 15) return false;
    Ordinal = v;
    return true;
  } catch (const Exception&) {
    return false;
  }
}

void WipeUnfinishedJobs(const std::string& Key) {
  RequireKey(Key);
  DeleteKey(InstallListRootKey, UnfinishedKey(Key));
}

void WriteUnfinishedJob(const std::string& Key, const std::string& Data, int Command) {
  RequireKey(Key);
  WriteRVStr(InstallListRootKey, UnfinishedKey(Key), Data, IntToStr(Command));
}

void ReadUnfinishedJobs(const std::string& Key, TStrings* SL) {
  SL->Clear();
  RequireKey(Key);
  TRegistry reg(KEY_READ);
  SetTheRoot(&reg, InstallListRootKey);
  if (!reg.OpenKeyReadOnly(UnfinishedKey(Key))) return;
  TStringList names;
  reg.GetValueNames(&names);
  for (int i = 0; i < names.Count(); ++i) {
    std::string value;
    try {
      value = reg.ReadString(names[i]);
    } catch (const ERegistryException&) {
      // A value of another type stays unreadable; the run reports the line.
    }
    SL->Add(names[i] + ";" + value);
  }
}

bool SplitUnfinishedJob(const std::string& Line, std::string& Data, int& Command) {
  const size_t semi = Line.rfind(';');
  if (semi == std::string::npos) return false;
  long long n = 0;
  if (!TryStrToInt(Line.substr(semi + 1), n) || n < INT32_MIN || n > INT32_MAX) return false;
  Data = Line.substr(0, semi);
  Command = static_cast<int>(n);
  return true;
}

std::string ContinuationLine(const std::string& ProgramPath, bool SelfExtracting, const std::string& LoaderPath) {
  // Quoted: an unquoted path with blanks lets "C:\Program.exe" run in its place.
  return Format("\"%s\" *%s *%s %s %s", {ProgramPath, "ABOOT", SelfExtracting ? "SELFEXTRACT" : "NOSELFEXTRACT",
                                         ExtractFileName(LoaderPath), DirectoryWOBS(ExtractFileDir(LoaderPath))});
}

void RegisterContinuation(const std::string& Line) {
  if (!RegisterRunOnce(ContinuationValueName, Line, true)) throw IEInstall(SCannotRegisterRunOnce);
}

void MarkSetupWaiting(const std::string& RecordKey, const std::string& SetupKey) {
  // A blank product would name the list of every product.
  if (Trim(SetupKey).empty() || RecordKey.empty() || RecordKey.back() == '\\') return;
  // Only into a record that is there: a product without one has no
  // uninstaller to hold back, and a record made here would list nothing.
  try {
    TRegistry reg;
    SetTheRoot(&reg, hkLocalMachine);
    if (!reg.OpenKey(RecordKey, false)) return;
    reg.WriteString(SetupWaitsValueName, SetupKey);
    reg.SetLazyWrite(false);  // a restart may follow at once
    reg.CloseKey();
  } catch (const Exception&) {
    // The install stands; its uninstaller is then merely not held back.
  }
}

void UnmarkSetupWaiting(const std::string& RecordKey) {
  if (RecordKey.empty() || RecordKey.back() == '\\') return;
  try {
    TRegistry reg;
    SetTheRoot(&reg, hkLocalMachine);
    if (reg.OpenKey(RecordKey, false) && reg.ValueExists(SetupWaitsValueName)) reg.DeleteValue(SetupWaitsValueName);
  } catch (const Exception&) {
    // Left behind, it names a key without jobs: the uninstaller goes on.
  }
}
