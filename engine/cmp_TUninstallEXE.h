// The install file that installs the uninstaller and records the two values
// by which Windows lists the product and starts its removal.
#pragma once
#include <string>

#include "engine/cmp_TInstallContainer.h"

// The removal command: the uninstaller's full path in double quotes (a path
// with blanks is otherwise open to "C:\Program.exe" running in its place),
// one blank and the product name, which the uninstaller takes from all its
// arguments joined by single blanks.
std::string UninstallCommandLine(const std::string& UninstallerPath, const std::string& ProductName);
// Writes DisplayName and UninstallString under RegKey (local machine; the key
// is made when missing). EIRCannotWriteValue when the registry refuses.
void WriteUninstallEntry(const std::string& RegKey, const std::string& ProductName,
                         const std::string& UninstallerPath);

// An install file with no state of its own: its part of the uninstall record
// is the product's entry in Windows' list.
class TUninstallEXE : public TCustomInstallFile {
  QNT_PUBLISHED(TUninstallEXE, TCustomInstallFile)
public:
  explicit TUninstallEXE(TComponent* AOwner);
  // IEUninstallEXE naming the component when there is no install controller.
  void WriteInstallInfo(const std::string& RegKey) override;
};
