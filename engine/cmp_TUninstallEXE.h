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

// An install file whose part of the uninstall record is the product's entry
// in Windows' list. The controller installs it ahead of the product's files
// (InstallUninstallersAhead), so that whatever a run records, however it ends,
// can be removed through the entry.
class TUninstallEXE : public TCustomInstallFile {
  QNT_PUBLISHED(TUninstallEXE, TCustomInstallFile)
public:
  explicit TUninstallEXE(TComponent* AOwner);
  // IEUninstallEXE naming the component when there is no install controller.
  void WriteInstallInfo(const std::string& RegKey) override;
  // In its own turn, after it was installed ahead in this run, the file is
  // passed over as not older (its record entry is written again, unchanged).
  void InstallUnique() override;
  // Whether Controller's install reaches this file: it and every container
  // between them are included for the selected install type.
  bool InstalledBy(TInstallContainer* Controller);
  // Installs the file and writes the entry now (Install).
  void InstallAhead();

private:
  bool FAhead = false;    // being installed ahead
  bool FInPlace = false;  // installed ahead in this run, its turn still to come
};

// Installs every uninstaller that Controller's install reaches, ahead of the
// rest of its tree.
void InstallUninstallersAhead(TInstallContainer* Controller);
