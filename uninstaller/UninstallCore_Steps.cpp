// The removal steps: each reads one part of the product's uninstall record,
// undoes it and deletes that part of the record.
#include <windows.h>

#include <algorithm>
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

namespace {
// The paths a list of the record holds (its values but the count); a value
// that is no text is passed over.
std::vector<std::string> ListedPaths(const std::string& Key) {
  std::vector<std::string> paths;
  TRegistry reg(KEY_READ);
  if (!MachineRegistry(reg)->OpenKeyReadOnly(Key)) return paths;
  TStringList names;
  reg.GetValueNames(&names);
  for (int i = 0; i < names.Count(); ++i) {
    if (SameText(names[i], "Entries")) continue;
    try {
      const std::string path = reg.ReadString(names[i]);
      if (!Trim(path).empty()) paths.push_back(path);
    } catch (const ERegistryException&) {
    }
  }
  return paths;
}

size_t Depth(const std::string& Dir) { return static_cast<size_t>(std::count(Dir.begin(), Dir.end(), '\\')); }

// A path as recorded and in short form, both as Windows compares them.
std::vector<std::string> Forms(const std::string& Path) {
  return {UpperCase(DirectoryWOBS(Path)), ComparablePath(Path)};
}

// Whether a path of the forms Path lies in the folder of the forms Dir.
bool Inside(const std::vector<std::string>& Path, const std::vector<std::string>& Dir) {
  for (const std::string& d : Dir)
    for (const std::string& p : Path)
      if (p.size() > d.size() && p[d.size()] == '\\' && p.compare(0, d.size(), d) == 0) return true;
  return false;
}

// The forms of every path the record Key lists: its servers' and its
// files' (the lists of what it made aside).
std::vector<std::vector<std::string>> RecordedPaths(const std::string& Key) {
  std::vector<std::vector<std::string>> paths;
  for (const std::string& server : ListedPaths(Key + "\\ActiveX")) paths.push_back(Forms(srExtract(server, 1, ';')));
  for (int j = 0;; ++j) {
    const std::string part = Key + "\\" + UninstallFilesPartition(j);
    TRegistry reg(KEY_READ);
    if (!MachineRegistry(reg)->OpenKeyReadOnly(part)) break;
    for (const std::string& file : ListedPaths(part)) paths.push_back(Forms(file));
  }
  return paths;
}

// Lists Dir in the Folders list of the record Key, once, after its highest
// value.
void ListFolder(const std::string& Key, const std::string& Dir) {
  const std::string list = Key + "\\" + UninstallFoldersList;
  for (const std::string& listed : ListedPaths(list))
    if (ComparablePath(listed) == ComparablePath(Dir)) return;
  long long n = std::max(StrToIntDef(GetRVStr(hkLocalMachine, list, "Entries", "0"), 0LL), 0LL);
  TRegistry reg(KEY_READ);
  const bool open = MachineRegistry(reg)->OpenKeyReadOnly(list);
  do ++n;
  while (open && reg.ValueExists("Folder" + IntToStr(n)));
  WriteRVStr(hkLocalMachine, list, "Folder" + IntToStr(n), Dir);
  WriteRVStr(hkLocalMachine, list, "Entries", IntToStr(n));
}
}  // namespace

const TUninstaller::TMade& TUninstaller::Made() {
  if (FMade.Loaded) return FMade;
  FMade.Loaded = true;
  FMade.Complete =
      StrToIntDef(GetRVStr(hkLocalMachine, FUninstallKey, UninstallRecordFormName, ""), 0) >= UninstallRecordForm;
  FMade.Folders = ListedPaths(FUninstallKey + "\\" + UninstallFoldersList);
  for (const auto& dir : FMade.Folders) FMade.FolderKeys.insert(ComparablePath(dir));
  for (const auto& file : ListedPaths(FUninstallKey + "\\" + UninstallCountedList))
    FMade.Counted.insert(ComparablePath(file));
  FMade.Help = ListedPaths(FUninstallKey + "\\" + UninstallHelpList);
  return FMade;
}

bool TUninstaller::RaisedCount(const std::string& Path) {
  // A record of an earlier setup does not say: every count found counts as
  // the product's, as it always did.
  return !Made().Complete || Made().Counted.count(ComparablePath(Path)) > 0;
}

bool TUninstaller::SharedFileGoes(std::string& Path) {
  const bool ours = RaisedCount(Path);
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
  // Counted by other products only: the file is theirs too, and stays.
  if (!ours && count > 0) return false;
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

bool TUninstaller::MayRemoveFolder(const std::string& Dir) {
  const DWORD attrs = GetFileAttributesW(Widen(Dir).c_str());
  // Removing a junction or a symbolic link breaks whatever lies behind it
  // (and some systems remove the emptied target instead).
  if (attrs == INVALID_FILE_ATTRIBUTES || !(attrs & FILE_ATTRIBUTE_DIRECTORY) ||
      (attrs & FILE_ATTRIBUTE_REPARSE_POINT))
    return false;
  if (IsKeptFolder(Dir)) return false;
  const std::string key = ComparablePath(Dir);
  if (Made().FolderKeys.count(key)) return true;
  if (Made().Complete) return false;
  for (int i = 0; i < FDirList.Count(); ++i)
    if (ComparablePath(FDirList[i]) == key) return true;
  return false;
}

bool TUninstaller::IsKeptFolder(const std::string& Dir) {
  if (!FShellFoldersRead) {
    FShellFolders = ShellFolderKeys();
    FShellFoldersRead = true;
  }
  return IsShellFolder(Dir, FShellFolders);
}

bool TUninstaller::RemoveFolder(const std::string& Dir) {
  return MayRemoveFolder(Dir) && RemoveDirectoryW(Widen(Dir).c_str()) != 0;
}

void TUninstaller::RemoveHelp() {
  // A record of an earlier setup lists no help: every file that went is
  // looked up. A value that names another folder is another copy's.
  std::vector<std::string> files = Made().Help;
  if (!Made().Complete) files.insert(files.end(), FGone.begin(), FGone.end());
  for (const auto& file : files) {
    if (FileExists(file) && !GoesAtRestart(file)) continue;
    const std::string name = UpperCase(ExtractFileName(file));
    const std::string folder = GetRVStr(hkLocalMachine, HelpKey, name, "");
    if (!Trim(folder).empty() && ComparablePath(folder) == ComparablePath(ExtractFileDir(file)))
      DeleteIdent(hkLocalMachine, HelpKey, name);
  }
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
      FGone.push_back(recorded.back());
    }
    RemoveLeftoversBeside(recorded);
  }
  DeleteKey(hkLocalMachine, key);
}

void TUninstaller::RemoveFiles() {
  for (int part = 0;; ++part) {
    std::string key = FUninstallKey + "\\" + UninstallFilesPartition(part);
    {
      TRegistry reg;
      if (!MachineRegistry(reg)->OpenKey(key, false)) break;
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
        FGone.push_back(recorded.back());
      }
      RemoveLeftoversBeside(recorded);
    }
    DeleteKey(hkLocalMachine, key);
  }
  RemoveHelp();
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
  // The folders the setup made join the list; each folder is tried once,
  // the deepest first, so that a parent the product made goes once its
  // children have. A parent it did not make stays, empty or not.
  for (const auto& made : Made().Folders) {
    const std::string dir = UpperCase(DirectoryWOBS(made));
    if (!dir.empty() && FDirList.IndexOf(dir) < 0) FDirList.Add(dir);
  }
  std::vector<std::string> dirs;
  for (int i = 0; i < FDirList.Count(); ++i) dirs.push_back(FDirList[i]);
  std::stable_sort(dirs.begin(), dirs.end(),
                   [](const std::string& A, const std::string& B) { return Depth(A) > Depth(B); });
  for (const auto& dir : dirs) RemoveFolder(dir);
  HandOverFolders();
}

void TUninstaller::HandOverFolders() {
  // A folder the product made that another product's files keep (a shared
  // library's) passes to the records of those products: the last of them
  // to go removes it. One that the user's own files keep stays theirs.
  std::vector<std::pair<std::string, std::vector<std::string>>> kept;
  for (const auto& dir : Made().Folders)
    if (DirectoryExists(dir) && !GoesAtRestart(dir)) kept.emplace_back(dir, Forms(dir));
  if (kept.empty()) return;
  TStringList products;
  GetKeys(hkLocalMachine, DirectoryWOBS(UninstallRootKey), &products);
  for (int i = 0; i < products.Count(); ++i) {
    const std::string key = UninstallRootKey + products[i];
    if (SameText(key, FUninstallKey)) continue;
    const auto theirs = RecordedPaths(key);
    for (const auto& [dir, forms] : kept) {
      if (std::none_of(theirs.begin(), theirs.end(), [&](const auto& p) { return Inside(p, forms); })) continue;
      try {
        ListFolder(key, dir);
      } catch (const Exception&) {
        // Not handed over: the folder stays, as one the product did not make.
      }
    }
  }
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
