// The uninstall record as the setup program writes it: numbered "File<n>"
// values in the partitions Files, Files1, ... and in ActiveX, each with its
// "Entries" count, below the product's uninstall key.
#include <windows.h>

#include "classlib/Registry.h"
#include "classlib/SysUtils.h"
#include "classlib/WinText.h"
#include "engine/cmp_TInstallContainer.h"
#include "foundation/routines/routines_Registry.h"
#include "foundation/routines/routines_Strings.h"

namespace {

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

// Writes FullPath as the next numbered value of the partition Key and raises
// its count, through one open key: True when written, False when the
// partition cannot take it (the key cannot be opened for writing, its count
// is no number, or the value is refused). A refused count throws, with the
// value that was already written.
bool AppendEntry(const std::string& Key, const std::string& Value) {
  TRegistry reg;
  SetTheRoot(&reg, hkLocalMachine);
  if (!reg.OpenKey(Key, true)) return false;
  long long n = 0;
  if (!NextEntry(reg, n)) return false;
  try {
    reg.WriteString("File" + IntToStr(n), Value);
  } catch (const ERegistryException&) {
    return false;
  }
  try {
    reg.WriteString("Entries", IntToStr(n));
  } catch (const ERegistryException&) {
    throw EIRCannotWriteValue("Cannot install into registry. Key: %s Ident: %s Value %s", {Key, "Entries", IntToStr(n)});
  }
  return true;
}

}  // namespace

std::string UninstallFilesPartition(int J) { return J == 0 ? "Files" : "Files" + IntToStr(J); }

void WriteUninstallFileEntry(const std::string& RegKey, const std::string& FullPath) {
  for (int j = 0; j < MaxUninstallFilesPartitions; ++j)
    if (AppendEntry(DirectoryWBS(RegKey) + UninstallFilesPartition(j), FullPath)) return;
  throw EIRCannotWriteValue("Cannot install into registry. Key: %s Ident: %s Value %s",
                            {DirectoryWBS(RegKey) + "Files", "Entries", FullPath});
}

void WriteUninstallActiveXEntry(const std::string& RegKey, const std::string& FullPath, bool ExeServer) {
  const std::string key = DirectoryWBS(RegKey) + "ActiveX";
  if (!AppendEntry(key, FullPath + (ExeServer ? ";1" : ";0")))
    throw EIRCannotWriteValue("Cannot install into registry. Key: %s Ident: %s Value %s", {key, "Entries", FullPath});
}
