// The removal steps: each reads one part of the product's uninstall record,
// undoes it and deletes that part of the record.
#include <windows.h>

#include <cmath>
#include <vector>

#include "classlib/IniFiles.h"
#include "classlib/Registry.h"
#include "classlib/Streams.h"
#include "classlib/SysUtils.h"
#include "classlib/WinText.h"
#include "foundation/routines/routines_API.h"
#include "foundation/routines/routines_INIFiles.h"
#include "foundation/routines/routines_Strings.h"
#include "uninstaller/UninstallCore.h"

namespace {

// The database engine's interface, as its library exports it (32-bit names
// undecorated, standard calls).
using DBIResult = uint16_t;
using TDbiInit = DBIResult(WINAPI*)(void* pEnv);
using TDbiDeleteAlias = DBIResult(WINAPI*)(void* hDb, char* pszAliasName);
using TDbiCfgSave = DBIResult(WINAPI*)(void* hDb, char* pszNewName, BOOL bDefault);
using TDbiExit = DBIResult(WINAPI*)();
constexpr DBIResult DBIERR_NONE = 0;

template <class F>
F Proc(HMODULE Lib, const char* Name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(Lib, Name)));
}

// A record key read and written under the local machine.
TRegistry* MachineRegistry(TRegistry& Reg) {
  SetTheRoot(&Reg, hkLocalMachine);
  return &Reg;
}

}  // namespace

TUninstaller::TUninstaller(const std::string& AProductName)
    : FProductName(AProductName), FUninstallKey(std::string(UninstallRootKey) + AProductName) {}

std::string ParentFolder(const std::string& Path) {
  size_t p = Path.rfind('\\');
  return p == std::string::npos || p == 0 ? std::string() : Path.substr(0, p);
}

void TUninstaller::AddDir(const std::string& FilePath) {
  std::string dir = UpperCase(ParentFolder(FilePath));
  if (!dir.empty() && FDirList.IndexOf(dir) < 0) FDirList.Add(dir);
}

void TUninstaller::SetProgress(int Index, int Count) {
  if (!OnProgress) return;
  int percent = Count > 1 ? static_cast<int>(std::lrint(100.0 * Index / (Count - 1))) : 0;
  OnProgress(percent);
}

bool TUninstaller::SharedFileGoes(std::string& Path) {
  // A path without a short form (the file is gone) must not look up the
  // key's unnamed value.
  std::string shortPath = GetShortPath(Path);
  int64_t count = NoSharedCount;
  if (!shortPath.empty()) count = GetRVInteger(hkLocalMachine, SharedDLLsKey, shortPath, NoSharedCount);
  if (count != NoSharedCount)
    Path = shortPath;
  else if (!Path.empty())
    count = GetRVInteger(hkLocalMachine, SharedDLLsKey, Path, NoSharedCount);
  if (count == NoSharedCount) return true;
  if (--count > 0) {
    WriteRVInteger(hkLocalMachine, SharedDLLsKey, Path, static_cast<int32_t>(count));
    return false;
  }
  if (!OnConfirm || !OnConfirm(Path)) return false;
  DeleteIdent(hkLocalMachine, SharedDLLsKey, Path);
  return true;
}

void TUninstaller::RemoveLeftoversBeside(const std::vector<std::string>& Paths) {
  TStringList done;
  for (const auto& path : Paths) {
    std::string dir = UpperCase(ParentFolder(path));
    if (Trim(path).empty() || dir.empty() || done.IndexOf(dir) >= 0) continue;
    done.Add(dir);
    if (RemoveInstallLeftovers(dir)) AddDir(path);
  }
}

bool TUninstaller::RemoveFolder(const std::string& Dir) {
  if (IsShellFolder(Dir)) return false;
  return RemoveDirectoryW(Widen(Dir).c_str()) != 0;
}

void TUninstaller::RemoveAliases() {
  HMODULE lib = LoadLibraryW(Widen(EngineLibrary).c_str());
  if (!lib) return;
  auto init = Proc<TDbiInit>(lib, "DbiInit");
  auto deleteAlias = Proc<TDbiDeleteAlias>(lib, "DbiDeleteAlias");
  auto cfgSave = Proc<TDbiCfgSave>(lib, "DbiCfgSave");
  auto exit = Proc<TDbiExit>(lib, "DbiExit");
  if (!init || !deleteAlias || !cfgSave || !exit || init(nullptr) != DBIERR_NONE) {
    FreeLibrary(lib);
    return;
  }
  try {
    std::string key = FUninstallKey + "\\Aliases";
    TStringList names;
    GetKeys(hkLocalMachine, key, &names);
    for (int i = 0; i < names.Count(); ++i) {
      std::string oem = StrToOem(names[i]);
      deleteAlias(nullptr, oem.data());
    }
    DeleteKey(hkLocalMachine, key);
    if (names.Count() > 0) cfgSave(nullptr, nullptr, TRUE);
  } catch (...) {
    exit();
    FreeLibrary(lib);
    throw;
  }
  exit();
  FreeLibrary(lib);
}

void TUninstaller::RemoveActiveX() {
  std::string key = FUninstallKey + "\\ActiveX";
  {
    TRegistry reg;
    if (!MachineRegistry(reg)->OpenKey(key, false)) return;
    reg.DeleteValue("Entries");
    TStringList names;
    reg.GetValueNames(&names);
    std::vector<std::string> recorded;
    for (int i = 0; i < names.Count(); ++i) {
      SetProgress(i, names.Count());
      // Data of another type than text ends the removal here.
      std::string text = reg.ReadString(names[i]);
      std::string path = srExtract(text, 1, ';');
      std::string kind = srExtract(text, 2, ';');
      recorded.push_back(path);
      if (!SharedFileGoes(path) || Trim(path).empty()) continue;
      if (kind == "0")
        UnregisterActiveX_DLLStyle(path);
      else if (kind == "1")
        UnregisterActiveX_EXEStyle(path);
      AddDir(path);
      // A program server just started to unregister itself may still hold
      // its file; it then goes at the next restart.
      if (FileExists(path)) DeleteOwned(path);
    }
    RemoveLeftoversBeside(recorded);
  }
  DeleteKey(hkLocalMachine, key);
}

void TUninstaller::RemoveFiles() {
  for (int part = 0;; ++part) {
    std::string key = FUninstallKey + "\\Files" + (part ? IntToStr(part) : std::string());
    {
      TRegistry reg;
      if (!MachineRegistry(reg)->OpenKey(key, false)) return;
      reg.DeleteValue("Entries");
      TStringList names;
      reg.GetValueNames(&names);
      std::vector<std::string> recorded;
      for (int i = 0; i < names.Count(); ++i) {
        SetProgress(i, names.Count());
        std::string path = reg.ReadString(names[i]);
        recorded.push_back(path);
        if (!SharedFileGoes(path) || Trim(path).empty()) continue;
        // Also when the file is gone (a run stopped after removing it): its
        // folder may be left empty.
        AddDir(path);
        if (FileExists(path)) DeleteOwned(path);
      }
      RemoveLeftoversBeside(recorded);
    }
    DeleteKey(hkLocalMachine, key);
  }
}

namespace {
int64_t FileSizeOf(const std::string& Path) {
  TFileStream f(Path, fmOpenRead | fmShareDenyNone);
  return f.Size();
}

std::string IdentOf(const std::string& Line) { return Line.substr(0, Line.find('=')); }
}  // namespace

void TUninstaller::RemoveINIFiles() {
  std::string base = FUninstallKey + "\\INIFiles";
  TStringList records;
  {
    TRegistry reg(KEY_READ);
    if (!MachineRegistry(reg)->OpenKeyReadOnly(base)) return;
    reg.GetKeyNames(&records);
  }
  for (int r = 0; r < records.Count(); ++r) {
    std::string recordKey = base + "\\" + records[r];
    std::string entriesKey = recordKey + "\\Entries";
    std::string file;
    TStringList sections;
    {
      TRegistry reg(KEY_READ);
      if (!MachineRegistry(reg)->OpenKeyReadOnly(recordKey) || !reg.ValueExists("FilePath")) continue;
      try {
        file = reg.ReadString("FilePath");
      } catch (const ERegistryException&) {
        continue;
      }
      if (!reg.OpenKeyReadOnly(entriesKey) || !FileExists(file)) continue;
      reg.GetKeyNames(&sections);
    }
    TIniFile ini(file);
    for (int s = 0; s < sections.Count(); ++s) {
      TRegistry reg(KEY_READ);
      if (!MachineRegistry(reg)->OpenKeyReadOnly(entriesKey + "\\" + sections[s])) continue;
      TStringList lines, idents;
      ini.ReadSectionValues(sections[s], &lines);
      reg.GetValueNames(&idents);
      for (int v = 0; v < idents.Count(); ++v) {
        try {
          reg.ReadString(idents[v]);
        } catch (const ERegistryException&) {
          continue;
        }
        for (int l = lines.Count() - 1; l >= 0; --l)
          if (SameText(IdentOf(lines[l]), idents[v])) lines.Delete(l);
      }
      ini.EraseSection(sections[s]);
      for (int l = 0; l < lines.Count(); ++l) {
        std::string line = lines[l];
        size_t eq = line.find('=');
        ini.WriteString(sections[s], line.substr(0, eq), eq == std::string::npos ? "" : line.substr(eq + 1));
      }
    }
    ini.UpdateFile();
    if (FileSizeOf(file) == 0) {
      AddDir(file);
      DeleteOwned(file);
      std::string dir = ExtractFileDir(file);
      if (GetFileCount(DirectoryWBS(dir)) == 0) RemoveFolder(dir);
    }
  }
  DeleteKey(hkLocalMachine, base);
}

void TUninstaller::RemoveBDE() {
  std::string bdeKey = FUninstallKey + "\\BDE";
  {
    TRegistry reg(KEY_READ);
    if (!MachineRegistry(reg)->OpenKeyReadOnly(bdeKey)) return;
  }
  long long entries = StrToIntDef(GetRVStr(hkLocalMachine, bdeKey, "Entries", "0"), 0);
  {
    TRegistry reg(KEY_READ);
    if (!MachineRegistry(reg)->OpenKeyReadOnly(EngineKey)) return;
  }
  long long uses = StrToIntDef(GetRVStr(hkLocalMachine, EngineKey, "UseCount", "0"), 0);
  std::string config = GetRVStr(hkLocalMachine, EngineKey, "CONFIGFILE01", "");
  if (uses - entries > 0) {
    WriteRVStr(hkLocalMachine, EngineKey, "UseCount", IntToStr(uses - entries));
    return;
  }
  // No product uses the engine any more.
  if (!Trim(config).empty()) {
    if (FileExists(config)) DeleteOrSchedule(config);
    AddDir(config);
  }
  DeleteKey(hkLocalMachine, EngineKey);
  DeleteKey(hkLocalMachine, EngineBLW32Key);
  TRegistry reg;
  if (MachineRegistry(reg)->OpenKey(BorlandKey, false) && !reg.HasSubKeys()) {
    reg.CloseKey();
    reg.DeleteKey(BorlandKey);
  }
}

void TUninstaller::RemoveDirectories() {
  // A removed folder may leave its parent empty (a maker's folder above the
  // product's, made by the install): up it goes too, to the shell folders.
  for (int i = 0; i < FDirList.Count(); ++i)
    for (std::string dir = FDirList[i]; RemoveFolder(dir);) dir = ParentFolder(dir);
}

bool TUninstaller::RemoveRegistryKeys() {
  std::string base = FUninstallKey + "\\RegistryKeys";
  bool result = true;
  TStringList records;
  {
    TRegistry reg(KEY_READ);
    if (!MachineRegistry(reg)->OpenKeyReadOnly(base)) return true;
    reg.GetKeyNames(&records);
  }
  for (int r = 0; r < records.Count(); ++r) {
    std::string recordKey = base + "\\" + records[r];
    std::string key;
    int32_t root = -1;
    TStringList values;
    {
      TRegistry reg(KEY_READ);
      if (!MachineRegistry(reg)->OpenKeyReadOnly(recordKey) || !reg.ValueExists("Key") ||
          !reg.ValueExists("Root")) {
        result = false;
        continue;
      }
      try {
        key = reg.ReadString("Key");
        root = reg.ReadInteger("Root");
      } catch (const ERegistryException&) {
        result = false;
        continue;
      }
      // A blank path names the root itself: a damaged record must not delete values at a hive's top.
      if (root < hkClassesRoot || root > hkUsers || Trim(key).find_first_not_of('\\') == std::string::npos) {
        result = false;
        continue;
      }
      if (reg.KeyExists(recordKey + "\\Entries")) {
        if (!reg.OpenKeyReadOnly(recordKey + "\\Entries")) {
          result = false;
          continue;
        }
        reg.GetValueNames(&values);
      }
    }
    TRegistry reg;
    SetTheRoot(&reg, static_cast<TRootKeys>(root));
    if (!reg.OpenKey(key, false)) continue;
    for (int v = 0; v < values.Count(); ++v) reg.DeleteValue(values[v]);
    TStringList left;
    reg.GetValueNames(&left);
    if (left.Count() == 0 && !reg.HasSubKeys()) {
      reg.CloseKey();
      reg.DeleteKey(key);
    }
  }
  DeleteKey(hkLocalMachine, base);
  return result;
}
