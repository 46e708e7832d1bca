#include "engine/cmp_TUninstallEXE.h"

#include "foundation/routines/routines_Registry.h"
#include "foundation/routines/routines_Strings.h"

using TUE = TUninstallEXE;

QNT_PUBLISH(TUninstallEXE,
  Prop::Enum("AddToArchive", &TUE::AddToArchive, &TUE::SetAddToArchive, LzhCommandInfo, lzcOverwrite),
  Prop::String("ArchiveFile", &TUE::ArchiveFile, &TUE::SetArchiveFile, ""),
  Prop::Enum("ArchiveFileType", &TUE::ArchiveFileType, &TUE::SetArchiveFileType, PathSpecifiersInfo, ddAbsolute),
  Prop::Boolean("Net", &TUE::Net, &TUE::SetNet, true),
  Prop::Component("NetLocation", &TUE::NetLocation, &TUE::SetNetLocation),
  Prop::String("DestName", &TUE::DestName, &TUE::SetDestName, ""),
  Prop::String("FileName", &TUE::FileName, &TUE::SetFileName, ""),
  Prop::Enum("FileType", &TUE::FileType, &TUE::SetFileType, InstallFileTypeInfo, iftNormal),
  Prop::String("IncludeFromDir", &TUE::IncludeFromDir, &TUE::SetIncludeFromDir, ""),
  Prop::Enum("OverwriteMode", &TUE::OverwriteMode, &TUE::SetOverwriteMode, OverwriteTypeInfo, owAlways),
  Prop::Boolean("UpdateDLLCounter", &TUE::UpdateDLLCounter, &TUE::SetUpdateDLLCounter, false),
  Prop::Enum("State", &TUE::State, static_cast<void (TUE::*)(TInstallFileState)>(&TUE::SetState),
             InstallFileStateInfo, ifsNone),
  Prop::Event("OnAfterCompress", &TUE::OnAfterCompress, &TUE::SetOnAfterCompress),
  Prop::Event("OnAfterCopy", &TUE::OnAfterCopy, &TUE::SetOnAfterCopy),
  Prop::Event("OnAfterInstall", &TUE::OnAfterInstall, &TUE::SetOnAfterInstall),
  Prop::Event("OnBeforeCompress", &TUE::OnBeforeCompress, &TUE::SetOnBeforeCompress),
  Prop::Event("OnBeforeCopy", &TUE::OnBeforeCopy, &TUE::SetOnBeforeCopy),
  Prop::Event("OnBeforeInstall", &TUE::OnBeforeInstall, &TUE::SetOnBeforeInstall),
  Prop::Event("OnStatus", &TUE::OnStatus, &TUE::SetOnStatus),
  Prop::Event("OnNewDisk", &TUE::OnNewDisk, &TUE::SetOnNewDisk),
  Prop::Event("OnReplacing", &TUE::OnReplacing, &TUE::SetOnReplacing));

std::string UninstallCommandLine(const std::string& UninstallerPath, const std::string& ProductName) {
  return "\"" + UninstallerPath + "\" " + ProductName;
}

void WriteUninstallEntry(const std::string& RegKey, const std::string& ProductName,
                         const std::string& UninstallerPath) {
  OpenUninstallRecord(RegKey);
  WriteRVStr(hkLocalMachine, RegKey, "DisplayName", ProductName);
  WriteRVStr(hkLocalMachine, RegKey, "UninstallString", UninstallCommandLine(UninstallerPath, ProductName));
}

TUninstallEXE::TUninstallEXE(TComponent* AOwner) : TCustomInstallFile(AOwner) { SetNet(true); }

void TUninstallEXE::WriteInstallInfo(const std::string& RegKey) {
  if (!MainInstall)
    throw IEUninstallEXE(
        "%s could not write information about the uninstall to the registry because there was no TInstall "
        "component",
        {Name()});
  WriteUninstallEntry(RegKey, MainInstallProductName ? MainInstallProductName() : "", GetDestFile());
}

void TUninstallEXE::InstallUnique() {
  if (FInPlace && !FAhead) {
    FInPlace = false;
    ReportInformationEvent(eieInstallFileAbortOlder, this);
    return;
  }
  TCustomInstallFile::InstallUnique();
  FInPlace = FAhead;
}

bool TUninstallEXE::InstalledBy(TInstallContainer* Controller) {
  for (TInstallContainer* node = this; node != Controller;) {
    auto* o = dynamic_cast<TInstallObject*>(node);
    if (!o || !o->AutomaticInstallation() || !IsIncluded(o)) return false;
    node = o->Container();
  }
  return true;
}

void TUninstallEXE::InstallAhead() {
  FInPlace = false;
  FAhead = true;
  try {
    Install();
  } catch (...) {
    FAhead = false;
    throw;
  }
  FAhead = false;
}

void InstallUninstallersAhead(TInstallContainer* Controller) {
  if (!InstallFileList) return;
  for (int i = 0; i < InstallFileList->Count(); ++i)
    if (auto* u = dynamic_cast<TUninstallEXE*>(InstallFileList->Items(i)))
      if (u->InstalledBy(Controller)) u->InstallAhead();
}

namespace {
const bool AheadOfTree = (InstallAheadOfTree = InstallUninstallersAhead, true);
}  // namespace
