// The uninstall record as the setup program writes it: numbered "File<n>"
// values in the partitions Files, Files1, ... and in ActiveX, each with its
// "Entries" count, below the product's uninstall key.
#include <windows.h>

#include "classlib/Registry.h"
#include "classlib/SysUtils.h"
#include "engine/cmp_TInstallContainer.h"
#include "foundation/routines/routines_Registry.h"
#include "foundation/routines/routines_Strings.h"

namespace {

// The next value number of a partition: its count plus one. False when the
// count is there but is no number (a string that does not convert, or a
// value of another type that another tool wrote): the partition is passed over.
bool NextEntry(const std::string& Key, long long& N) {
  try {
    TRegistry reg(KEY_READ);
    SetTheRoot(&reg, hkLocalMachine);
    long long count = 0;
    if (reg.OpenKeyReadOnly(Key) && reg.ValueExists("Entries")) {
      if (reg.GetDataType("Entries") != rdString) return false;
      if (!TryStrToInt(reg.ReadString("Entries"), count) || count < 0) return false;
    }
    N = count + 1;
    return true;
  } catch (const Exception&) {
    return false;
  }
}

}  // namespace

std::string UninstallFilesPartition(int J) { return J == 0 ? "Files" : "Files" + IntToStr(J); }

void WriteUninstallFileEntry(const std::string& RegKey, const std::string& FullPath) {
  for (int j = 0; j < MaxUninstallFilesPartitions; ++j) {
    const std::string key = DirectoryWBS(RegKey) + UninstallFilesPartition(j);
    long long n = 0;
    if (!NextEntry(key, n)) continue;
    try {
      WriteRVStr(hkLocalMachine, key, "File" + IntToStr(n), FullPath);
    } catch (const EIRCannotWriteValue&) {
      continue;  // this partition refuses: the next one may take it
    }
    WriteRVStr(hkLocalMachine, key, "Entries", IntToStr(n));
    return;
  }
  throw EIRCannotWriteValue("Cannot install into registry. Key: %s Ident: %s Value %s",
                            {DirectoryWBS(RegKey) + "Files", "Entries", FullPath});
}

void WriteUninstallActiveXEntry(const std::string& RegKey, const std::string& FullPath, bool ExeServer) {
  const std::string key = DirectoryWBS(RegKey) + "ActiveX";
  long long n = 0;
  if (!NextEntry(key, n))
    throw EIRCannotWriteValue("Cannot install into registry. Key: %s Ident: %s Value %s", {key, "Entries", FullPath});
  WriteRVStr(hkLocalMachine, key, "File" + IntToStr(n), FullPath + (ExeServer ? ";1" : ";0"));
  WriteRVStr(hkLocalMachine, key, "Entries", IntToStr(n));
}
