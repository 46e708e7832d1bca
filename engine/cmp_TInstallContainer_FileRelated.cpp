// File-related install objects: the archive path, the download of an
// object's archive from its network location and the record of it under the
// setup key, which a later run of the same setup adopts.
#include <windows.h>

#include <cmath>
#include <exception>

#include "classlib/Registry.h"
#include "classlib/SysUtils.h"
#include "engine/cmp_TInstallContainer.h"
#include "foundation/exceptions_Quillant.h"
#include "foundation/ftp/cmp_TQlntFTP.h"
#include "foundation/routines/routines_API.h"
#include "foundation/routines/routines_Registry.h"
#include "foundation/routines/routines_Strings.h"

const TEnumInfo LzhCommandInfo{"TlzhCommand", {"lzcOverwrite", "lzcOnlyAdd"}};

QNT_PUBLISH(TFileRelated);

namespace {
const char* const SNoInstall = "Cannot expand the ArchiveFile property of %s because there is no TInstall";
const char* const SNoContainer = "Cannot expand the ArchiveFile of %s because the Container is Nil";
const char* const SNotAllowedArchive = "That path specifier is not allowed for the ArchiveFile property for %s";
const char* const SContainerNoArchive = "The container of %s has no archive file for it to share";

std::string Join(const std::string& Base, const std::string& Tail) {
  return DirectoryWOBS(DirectoryWOBS(Base) + Tail);
}
}  // namespace

TFileRelated::TFileRelated(TComponent* AOwner) : TInstallObject(AOwner) {
  FAutomaticInstallation = true;
  if (FContainer && !Loading()) {
    FArchiveFileType = ddContainerArchiveFile;
    FArchiveFile.clear();
  }
}

TFileRelated::~TFileRelated() = default;

void TFileRelated::Notification(TComponent* AComponent, TOperation Operation) {
  TInstallObject::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FNetLocation) FNetLocation = nullptr;
}

void TFileRelated::Loaded() {
  TInstallObject::Loaded();
  std::string file;
  if (AlreadyDownloaded(file)) FNetArchiveFile = file;
}

void TFileRelated::SetNetLocation(TNetInstallLocation* NewLocation) {
  if (NewLocation == FNetLocation) return;
  if (FNetLocation) RemoveFreeNotification(FNetLocation);
  FNetLocation = NewLocation;
  if (FNetLocation) FreeNotification(FNetLocation);
}

void TFileRelated::SetArchiveFile(const std::string& NewArchiveFile) {
  if (!Loading() && FArchiveFileType == ddContainerArchiveFile)
    FArchiveFile.clear();
  else
    FArchiveFile = NewArchiveFile;
}

void TFileRelated::SetArchiveFileType(TPathSpecifiers NewArchiveFileType) {
  if (Loading()) {
    FArchiveFileType = NewArchiveFileType;
    return;
  }
  switch (NewArchiveFileType) {
    case ddAbsolute:
    case ddSystem:
    case ddWindows:
    case ddProgramFilesDir:
    case ddCommonFilesDir:
      break;
    case ddInstallSourceDir:
      if (!MainInstall) throw IEFileRelated(SNoInstall, {Name()});
      break;
    case ddContainerDestDir:
    case ddContainerArchiveFile:
      if (!FContainer) throw IEFileRelated(SNoContainer, {Name()});
      if (NewArchiveFileType == ddContainerArchiveFile) FArchiveFile.clear();
      break;
    default:
      throw IEFileRelated(SNotAllowedArchive, {Name()});
  }
  FArchiveFileType = NewArchiveFileType;
}

void TFileRelated::SetContainer(TInstallContainer* IC) {
  if (IC == FContainer) {
    FDidSetContainer = true;
    return;
  }
  TInstallObject::SetContainer(IC);
  if (Loading()) return;
  if (IC) {
    FArchiveFileType = ddContainerArchiveFile;
    FArchiveFile.clear();
  } else if (FArchiveFileType == ddContainerArchiveFile) {
    FArchiveFileType = ddAbsolute;
  }
}

std::string TFileRelated::GetArchiveFile() {
  std::string base;
  switch (FArchiveFileType) {
    case ddContainerArchiveFile: {
      if (!FContainer) throw IEFileRelated(SNoContainer, {Name()});
      auto* fr = dynamic_cast<TFileRelated*>(FContainer);
      if (!fr) throw IEFileRelated(SContainerNoArchive, {Name()});
      return Join(fr->GetArchiveFile(), FArchiveFile);
    }
    case ddContainerDestDir:
      if (!FContainer) throw IEFileRelated(SNoContainer, {Name()});
      return Join(FContainer->GetDestDir(), FArchiveFile);
    case ddInstallSourceDir: {
      auto* main = dynamic_cast<TFileContainer*>(MainInstall);
      if (!main) throw IEFileRelated(SNoInstall, {Name()});
      return Join(main->GetSourceDir(), FArchiveFile);
    }
    default:
      if (!BaseFolder(FArchiveFileType, base)) throw IEFileRelated(SNotAllowedArchive, {Name()});
      return Join(base, FArchiveFile);
  }
}

std::string TFileRelated::DownloadRecordKey() const {
  // Without a setup key the record would land at the root of the hive.
  if (Trim(Name()).empty() || Trim(UniqueInstallKey).empty()) return "";
  return DirectoryWBS(UniqueInstallKey) + Name();
}

bool TFileRelated::AlreadyDownloaded(std::string& FileName) {
  FileName.clear();
  const std::string key = DownloadRecordKey();
  if (key.empty()) return false;
  try {
    TRegistry reg(KEY_READ);
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    if (!reg.OpenKeyReadOnly(key)) return false;
    std::string value = reg.ReadString("LocalFile");
    if (Trim(value).empty() || !FileExists(value)) return false;
    FileName = value;
    return true;
  } catch (const Exception&) {
    return false;
  }
}

void TFileRelated::RegisterAsDownloaded(const std::string& FileName) {
  const std::string key = DownloadRecordKey();
  if (key.empty() || Trim(FileName).empty()) return;
  try {
    TRegistry reg;
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    if (!reg.OpenKey(key, true)) return;
    reg.WriteString("LocalFile", FileName);
  } catch (const Exception&) {
  }
}

bool TFileRelated::GetDownloadedRemoteFile() {
  if (!Trim(FNetArchiveFile).empty()) return true;
  std::string file;
  return AlreadyDownloaded(file);
}

void TFileRelated::DiscardDownload() {
  std::string recorded;
  AlreadyDownloaded(recorded);
  for (const std::string& file : {FNetArchiveFile, recorded})
    if (!Trim(file).empty()) RemoveFile(file);
  const std::string key = DownloadRecordKey();
  if (!key.empty()) DeleteKey(hkLocalMachine, key);
  FNetArchiveFile.clear();
}

TNetInstallLocation* TFileRelated::EffectiveNetLocation() {
  if (FNetLocation) return FNetLocation;
  // A file placed in a group with a location of its own is built under that
  // group's server, so it is fetched from there as well.
  if (RegisteredType() == cInstallFile)
    if (auto* fc = dynamic_cast<TFileRelated*>(FContainer))
      if (fc->NetLocation()) return fc->NetLocation();
  return DefaultNetLocation;
}

void TFileRelated::DownloadRemoteFile() {
  std::string existing;
  if (AlreadyDownloaded(existing)) {
    FNetArchiveFile = existing;
    return;
  }
  TNetInstallLocation* loc = EffectiveNetLocation();
  if (!loc || !loc->LoginInformation()->FilledIn()) {
    if (loc && loc != DefaultNetLocation)
      throw IEFileRelated(
          "%s could not install itself because the TNetLocation component's properties, in the NetLocation "
          "property, have not been filled in",
          {Name()});
    throw IEFileRelated(
        "%s could not install itself because the LoginInformation property of the TInstall component has not "
        "been properly filled in",
        {Name()});
  }
  FNetArchiveFile = MakeTempFileWithExt(".1");
  loc->SetOnDataReceivedNP([this](TObject* Sender, const std::string& FileName, int32_t Bytes, int32_t TotalBytes,
                                  int32_t FileSize) { DoDataReceived(Sender, FileName, Bytes, TotalBytes, FileSize); });
  bool failed = false;
  std::exception_ptr error;
  try {
    loc->DownloadFile(Name() + ".1", FNetArchiveFile);
  } catch (...) {
    failed = true;
    error = std::current_exception();
  }
  loc->SetOnDataReceivedNP(nullptr);
  if (AbortDownload || failed) {
    // Neither an aborted nor a failed transfer leaves a partial archive that
    // would count as downloaded.
    RemoveFile(FNetArchiveFile);
    FNetArchiveFile.clear();
    if (AbortDownload) throw EAIUserAbort();
    std::rethrow_exception(error);
  }
  if (!HasState(csDesigning)) RegisterAsDownloaded(FNetArchiveFile);
}

void TFileRelated::DoDataReceived(TObject*, const std::string& FileName, int32_t Bytes, int32_t TotalBytes,
                                  int32_t FileSize) {
  TDownloadStatusParameter p;
  p.Bytes = Bytes;
  p.FileName = FileName;
  p.FileSize = FileSize;
  p.TotalBytesReceived = TotalBytes;
  p.TotalComplete = FileSize > 0 ? static_cast<int>(std::nearbyint(static_cast<double>(TotalBytes) / FileSize * 100))
                                 : 0;
  if (FOnDataReceived) FOnDataReceived(this, FileName, Bytes, TotalBytes, FileSize);
  ExternalComponentCall(this, eccDownloadingNetFile, &p);
  if (FContainer) FContainer->DoInformationEventControl(this, eieDownloadingNetFile, &p);
}

void TFileRelated::GetServerAndPath(std::string& AServer, std::string& AServerPath) {
  AServer.clear();
  AServerPath.clear();
  if (FNetLocation) {
    AServer = FNetLocation->LoginInformation()->Hostname();
    AServerPath = FNetLocation->LoginInformation()->Directory();
    return;
  }
  if (RegisteredType() == cInstallFile && FContainer) {
    if (auto* fc = dynamic_cast<TFileContainer*>(FContainer)) fc->GetServerAndPath(AServer, AServerPath);
    return;
  }
  if (DefaultNetLocation) {
    AServer = DefaultNetLocation->LoginInformation()->Hostname();
    AServerPath = DefaultNetLocation->LoginInformation()->Directory();
  }
}

std::string TFileRelated::GetCompressSubDirectory() {
  std::string server, path;
  GetServerAndPath(server, path);
  if (Trim(path).empty()) return StripNonFileChars(server) + "\\FTP";
  return StripNonFileChars(server) + "\\" + StripNonFileChars(path);
}
