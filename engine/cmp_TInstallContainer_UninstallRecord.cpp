// The uninstall record as the setup program writes it: numbered "File<n>"
// values in the partitions Files, Files1, ... and in ActiveX, each with its
// "Entries" count, below the product's uninstall key. Each path is listed
// once, however often the product is installed. Beside them, what the
// product made, so that the uninstall takes that and nothing else: the
// folders it created, the shared counts it raised and the help files it
// registered, each list in a subkey of its own, and the record's form,
// which says that these lists hold all of it.
#include <windows.h>

#include <map>
#include <vector>

#include "classlib/Registry.h"
#include "classlib/SysUtils.h"
#include "classlib/WinText.h"
#include "engine/cmp_TInstallContainer.h"
#include "foundation/routines/routines_Registry.h"
#include "foundation/routines/routines_Strings.h"

namespace {

// A path as Windows compares file names: without regard to case.
std::string Folded(const std::string& Path) {
  std::wstring w = Widen(Path);
  if (!w.empty()) CharUpperBuffW(&w[0], static_cast<DWORD>(w.size()));
  return Narrow(w);
}

bool IsFilesPartition(const std::string& Name) {
  if (Name.size() < 5 || !SameText(Name.substr(0, 5), "Files")) return false;
  for (size_t i = 5; i < Name.size(); ++i)
    if (Name[i] < '0' || Name[i] > '9') return false;
  return true;
}

// Where a record lists a path: the partition's key and the value's name.
struct TPlace {
  std::string Key, Name;
};
using TPaths = std::map<std::string, TPlace>;  // by folded path

// What one product's record lists, as this process last read or wrote it: a
// run looks up every file it records, and reading the whole record for each
// would cost a round trip per entry. The counts of Files and ActiveX, read at
// every look-up, tell whether anyone else changed the record meanwhile (an
// uninstall, another run), and a path found is read back from its place:
// otherwise the record is read again.
struct TRecordSeen {
  std::string Key, FilesCount, ActiveXCount;
  TPaths Files, ActiveX;
};

TRecordSeen& Seen() {
  static TRecordSeen seen;
  return seen;
}

// The path a value names: a server's entry ends in ";0" or ";1".
std::string PathOf(const std::string& Value, bool Servers) {
  return Folded(Servers ? Value.substr(0, Value.rfind(';')) : Value);
}

void ReadPaths(const std::string& Key, bool Servers, TPaths& Into) {
  TRegistry reg(KEY_READ);
  SetTheRoot(&reg, hkLocalMachine);
  if (!reg.OpenKeyReadOnly(Key)) return;
  TStringList names;
  reg.GetValueNames(&names);
  for (int i = 0; i < names.Count(); ++i) {
    if (SameText(names[i], "Entries")) continue;
    try {
      Into.emplace(PathOf(reg.ReadString(names[i]), Servers), TPlace{Key, names[i]});
    } catch (const Exception&) {
      // Not text: no path of ours.
    }
  }
}

TRecordSeen& RecordSeen(const std::string& RegKey, bool Afresh) {
  TRecordSeen& seen = Seen();
  const std::string files = GetRVStr(hkLocalMachine, DirectoryWBS(RegKey) + UninstallFilesPartition(0), "Entries", "");
  const std::string activeX = GetRVStr(hkLocalMachine, DirectoryWBS(RegKey) + "ActiveX", "Entries", "");
  if (!Afresh && SameText(seen.Key, RegKey) && seen.FilesCount == files && seen.ActiveXCount == activeX) return seen;
  seen = TRecordSeen{RegKey, files, activeX, {}, {}};
  TRegistry reg(KEY_READ);
  SetTheRoot(&reg, hkLocalMachine);
  if (!reg.OpenKeyReadOnly(RegKey)) return seen;
  TStringList subkeys;
  reg.GetKeyNames(&subkeys);
  for (int i = 0; i < subkeys.Count(); ++i) {
    const std::string& name = subkeys[i];
    if (SameText(name, "ActiveX"))
      ReadPaths(DirectoryWBS(RegKey) + name, true, seen.ActiveX);
    else if (IsFilesPartition(name))
      ReadPaths(DirectoryWBS(RegKey) + name, false, seen.Files);
  }
  return seen;
}

// Whether the record below RegKey lists Path (folded) among its servers or
// its files, as the registry holds it now.
bool Lists(const std::string& RegKey, const std::string& Path, bool Servers) {
  for (bool afresh : {false, true}) {
    TRecordSeen& seen = RecordSeen(RegKey, afresh);
    const TPaths& paths = Servers ? seen.ActiveX : seen.Files;
    auto it = paths.find(Path);
    if (it == paths.end()) return false;
    if (PathOf(GetRVStr(hkLocalMachine, it->second.Key, it->second.Name, ""), Servers) == Path) return true;
  }
  return false;
}

// Whether the open key holds a value of that name.
bool ValueThere(const TRegistry& Reg, const std::string& Name) {
  return RegQueryValueExW(Reg.CurrentKey(), Widen(Name).c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

// The highest n of the values "<Prefix><n>" of the open key; 0 when none.
long long HighestEntry(TRegistry& Reg, const std::string& Prefix) {
  TStringList names;
  Reg.GetValueNames(&names);
  long long highest = 0;
  for (int i = 0; i < names.Count(); ++i) {
    const std::string& name = names[i];
    if (name.size() <= Prefix.size() || !SameText(name.substr(0, Prefix.size()), Prefix)) continue;
    long long n = 0;
    const std::string digits = name.substr(Prefix.size());
    if (digits.find_first_not_of("0123456789") == std::string::npos && TryStrToInt(digits, n) && n > highest)
      highest = n;
  }
  return highest;
}

// The next value number of a partition whose key Reg has open: its count
// plus one. False when the count is there but is no number (a string that
// does not convert, or a value of another type that another tool wrote): the
// partition is passed over. A count is a short string, so one query with a
// small buffer reads it whole; a longer one is read the ordinary way.
bool NextEntry(const TRegistry& Reg, long long& N) {
  try {
    long long count = 0;
    wchar_t buf[32];
    DWORD type = 0, size = sizeof buf;
    const LONG rc = RegQueryValueExW(Reg.CurrentKey(), L"Entries", nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
    if (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA) {
      if (type != REG_SZ) return false;
      std::string text;
      if (rc == ERROR_MORE_DATA) {
        text = Reg.ReadString("Entries");
      } else {
        // The string ends at its first terminator, as a read string does.
        size_t n = size / sizeof(wchar_t), len = 0;
        while (len < n && buf[len] != L'\0') ++len;
        text = Narrow(buf, len);
      }
      if (!TryStrToInt(text, count) || count < 0) return false;
    }
    N = count + 1;
    return true;
  } catch (const Exception&) {
    return false;
  }
}

// Writes Value as the next numbered value "<Prefix><n>" of the list Key and
// raises its count, through one open key: True when written, False when the
// list cannot take it (the key cannot be opened for writing, its count is no
// number, or the value is refused). A refused count throws, with the value
// that was already written. A value already there is never written over:
// a count that is missing, or behind (an uninstall or a run stopped between
// its two writes), gives way to the highest number there.
bool AppendEntry(const std::string& Key, const std::string& Value, std::string* Count = nullptr,
                 const std::string& Prefix = "File") {
  TRegistry reg;
  SetTheRoot(&reg, hkLocalMachine);
  if (!reg.OpenKey(Key, true)) return false;
  long long n = 0;
  if (!NextEntry(reg, n)) return false;
  if (ValueThere(reg, Prefix + IntToStr(n))) n = HighestEntry(reg, Prefix) + 1;
  try {
    reg.WriteString(Prefix + IntToStr(n), Value);
  } catch (const ERegistryException&) {
    return false;
  }
  try {
    reg.WriteString("Entries", IntToStr(n));
  } catch (const ERegistryException&) {
    throw EIRCannotWriteValue("Cannot install into registry. Key: %s Ident: %s Value %s", {Key, "Entries", IntToStr(n)});
  }
  if (Count) *Count = IntToStr(n);
  return true;
}

// Whether the list Key (Folders, Counted, Help) holds Path.
bool ListHolds(const std::string& Key, const std::string& Path) {
  TPaths paths;
  ReadPaths(Key, false, paths);
  return paths.count(Folded(Path)) > 0;
}

// Lists Path once in the record's list List, its values named Prefix and a
// number.
void AppendToList(const std::string& RegKey, const char* List, const char* Prefix, const std::string& Path) {
  OpenUninstallRecord(RegKey);
  const std::string key = DirectoryWBS(RegKey) + List;
  if (ListHolds(key, Path)) return;
  if (!AppendEntry(key, Path, nullptr, Prefix))
    throw EIRCannotWriteValue("Cannot install into registry. Key: %s Ident: %s Value %s", {key, "Entries", Path});
}

}  // namespace

void OpenUninstallRecord(const std::string& RegKey) {
  // A record this run begins lists what the product makes from its first
  // install on, and says so. One already there keeps its form: an earlier
  // setup may have listed none of it. Once seen, a record stays for the
  // run (the product's lock keeps its uninstall out): it is looked for once.
  static std::string seen;
  if (SameText(seen, RegKey)) return;
  TRegistry reg(KEY_READ);
  SetTheRoot(&reg, hkLocalMachine);
  if (!reg.KeyExists(RegKey))
    WriteRVStr(hkLocalMachine, RegKey, UninstallRecordFormName, IntToStr(UninstallRecordForm));
  seen = RegKey;
}

bool UninstallRecordCounted(const std::string& RegKey, const std::string& FullPath) {
  return ListHolds(DirectoryWBS(RegKey) + UninstallCountedList, FullPath);
}

void WriteUninstallCountedEntry(const std::string& RegKey, const std::string& FullPath) {
  AppendToList(RegKey, UninstallCountedList, "File", FullPath);
}

void WriteUninstallHelpEntry(const std::string& RegKey, const std::string& FullPath) {
  AppendToList(RegKey, UninstallHelpList, "File", FullPath);
}

void WriteUninstallFolderEntry(const std::string& RegKey, const std::string& Dir) {
  AppendToList(RegKey, UninstallFoldersList, "Folder", DirectoryWOBS(Dir));
}

void ForceProductDirectories(const std::string& Dir) {
  // The folders missing now, the deepest first.
  std::vector<std::string> missing;
  for (std::string d = DirectoryWOBS(Trim(Dir)); !d.empty() && !DirectoryExists(d);) {
    missing.push_back(d);
    const std::string parent = ExtractFileDir(d);
    if (parent.empty() || parent.size() >= d.size()) break;
    d = DirectoryWOBS(parent);
  }
  // Each one this run made is listed as soon as it is there; one that
  // another program made meanwhile is not the product's.
  for (auto it = missing.rbegin(); it != missing.rend(); ++it)
    if (CreateDirectoryW(Widen(*it).c_str(), nullptr) && MainInstall)
      WriteUninstallFolderEntry(ProductRecordKey(), *it);
  ForceDirectories(Dir);
}

bool UninstallRecordLists(const std::string& RegKey, const std::string& FullPath) {
  const std::string path = Folded(FullPath);
  return Lists(RegKey, path, false) || Lists(RegKey, path, true);
}

void WriteUninstallFileEntry(const std::string& RegKey, const std::string& FullPath) {
  OpenUninstallRecord(RegKey);
  const std::string path = Folded(FullPath);
  if (Lists(RegKey, path, false)) return;
  TRecordSeen& seen = Seen();
  for (int j = 0; j < MaxUninstallFilesPartitions; ++j) {
    const std::string key = DirectoryWBS(RegKey) + UninstallFilesPartition(j);
    std::string count;
    if (!AppendEntry(key, FullPath, &count)) continue;
    if (j == 0) seen.FilesCount = count;
    seen.Files[path] = TPlace{key, "File" + count};
    return;
  }
  throw EIRCannotWriteValue("Cannot install into registry. Key: %s Ident: %s Value %s",
                            {DirectoryWBS(RegKey) + UninstallFilesPartition(0), "Entries", FullPath});
}

void WriteUninstallActiveXEntry(const std::string& RegKey, const std::string& FullPath, bool ExeServer) {
  OpenUninstallRecord(RegKey);
  const std::string path = Folded(FullPath);
  if (Lists(RegKey, path, true)) return;
  TRecordSeen& seen = Seen();
  const std::string key = DirectoryWBS(RegKey) + "ActiveX";
  std::string count;
  if (!AppendEntry(key, FullPath + (ExeServer ? ";1" : ";0"), &count))
    throw EIRCannotWriteValue("Cannot install into registry. Key: %s Ident: %s Value %s", {key, "Entries", FullPath});
  seen.ActiveXCount = count;
  seen.ActiveX[path] = TPlace{key, "File" + count};
}
