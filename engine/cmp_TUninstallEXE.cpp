#include "engine/cmp_TUninstallEXE.h"

#include "foundation/routines/routines_Registry.h"

std::string UninstallCommandLine(const std::string& UninstallerPath, const std::string& ProductName) {
  return "\"" + UninstallerPath + "\" " + ProductName;
}

void WriteUninstallEntry(const std::string& RegKey, const std::string& ProductName,
                         const std::string& UninstallerPath) {
  WriteRVStr(hkLocalMachine, RegKey, "DisplayName", ProductName);
  WriteRVStr(hkLocalMachine, RegKey, "UninstallString", UninstallCommandLine(UninstallerPath, ProductName));
}
