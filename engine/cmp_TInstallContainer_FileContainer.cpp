// File containers and file groups: the install and copy jobs, the running
// totals of a job, the information events of the files inside and the sums
// over the files of a container.
#include <windows.h>

#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "classlib/Forms.h"
#include "classlib/SysUtils.h"
#include "classlib/WinText.h"
#include "engine/cmp_TInstallContainer.h"
#include "foundation/archive/lzhFormat.h"
#include "foundation/archive/routines_Compression.h"
#include "foundation/exceptions_Quillant.h"
#include "foundation/routines/routines_Strings.h"

const TEnumInfo FileContainerStateInfo{"TFileContainerState", {"fcsNone", "fcsCompress", "fcsInstall", "fcsCopy"}};

QNT_PUBLISH(TFileContainer);

QNT_PUBLISH(TInstallFileGroup,
  Prop::Enum("AddToArchive", &TInstallFileGroup::AddToArchive, &TInstallFileGroup::SetAddToArchive, LzhCommandInfo,
             lzcOverwrite),
  Prop::Boolean("AllowChangeDir", &TInstallFileGroup::AllowChangeDir, &TInstallFileGroup::SetAllowChangeDir, true),
  Prop::Boolean("AllowChoice", &TInstallFileGroup::AllowChoice, &TInstallFileGroup::SetAllowChoice, true),
  Prop::String("ArchiveFile", &TInstallFileGroup::ArchiveFile, &TInstallFileGroup::SetArchiveFile, ""),
  Prop::Enum("ArchiveFileType", &TInstallFileGroup::ArchiveFileType, &TInstallFileGroup::SetArchiveFileType,
             PathSpecifiersInfo, ddAbsolute),
  Prop::Strings("Description", &TInstallFileGroup::Description),
  Prop::String("GroupName", &TInstallFileGroup::GroupName, &TInstallFileGroup::SetGroupName),
  Prop::Component("NetLocation", &TInstallFileGroup::NetLocation, &TInstallFileGroup::SetNetLocation),
  Prop::Enum("State", &TInstallFileGroup::State,
             static_cast<void (TInstallFileGroup::*)(TFileContainerState)>(&TInstallFileGroup::SetState),
             FileContainerStateInfo, fcsNone),
  Prop::Event("OnCloseCopyFileDlg", &TInstallFileGroup::OnCloseCopyFileDlg, &TInstallFileGroup::SetOnCloseCopyFileDlg),
  Prop::Event("OnDataReceived", &TInstallFileGroup::OnDataReceived, &TInstallFileGroup::SetOnDataReceived),
  Prop::Event("OnNewDisk", &TInstallFileGroup::OnNewDisk, &TInstallFileGroup::SetOnNewDisk),
  Prop::Event("OnReplacing", &TInstallFileGroup::OnReplacing, &TInstallFileGroup::SetOnReplacing),
  Prop::Event("OnShowCopyFileDlg", &TInstallFileGroup::OnShowCopyFileDlg, &TInstallFileGroup::SetOnShowCopyFileDlg),
  Prop::Event("OnStatus", &TInstallFileGroup::OnStatus, &TInstallFileGroup::SetOnStatus));

namespace {

// The hourglass for the length of a scope, through the screen cursor so that
// moving the mouse keeps it; the previous cursor comes back.
class TWaitCursor {
public:
  TWaitCursor() : FOld(Screen ? Screen->Cursor() : crDefault) {
    if (Screen) Screen->SetCursor(crHourGlass);
  }
  ~TWaitCursor() {
    if (Screen) Screen->SetCursor(FOld);
  }
  TWaitCursor(const TWaitCursor&) = delete;
  TWaitCursor& operator=(const TWaitCursor&) = delete;

private:
  TCursor FOld;
};

int32_t Clamp32(int64_t V) {
  if (V > INT32_MAX) return INT32_MAX;
  if (V < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(V);
}

// Whether F, installed in this run, comes over the network (as its install
// decides), and whether it then takes its container's download (as its own
// GetArchiveFile decides).
bool ComesOverNetwork(TCustomInstallFile* F) {
  const TDistributeType dt = GetDistributeType();
  return dt != dtTraditional && (F->Net() || dt == dtWeb);
}
bool TakesContainerDownload(TCustomInstallFile* F) { return ComesOverNetwork(F) && !F->GetPlaceInOwnArchive(); }

// Whether a container around O runs an install job now.
bool InsideInstallJob(TInstallObject* O) {
  for (TInstallContainer* c = O->Container(); c;) {
    auto* fc = dynamic_cast<TFileContainer*>(c);
    if (fc && fc->State() == fcsInstall) return true;
    auto* o = dynamic_cast<TInstallObject*>(c);
    c = o ? o->Container() : nullptr;
  }
  return false;
}

// Whether the file's container installs it in this job.
bool Installs(TInstallObject* O) { return O->AutomaticInstallation() && IsIncluded(O); }

// Whether the archive component can read the file at all now; why not.
bool Openable(const std::string& Archive, std::string& Reason) {
  HANDLE h = CreateFileW(Widen(Archive).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    Reason = Trim(SysErrorMessage(GetLastError()));
    return false;
  }
  CloseHandle(h);
  return true;
}

// The archive of Owner as the server has it ("/dir/Name.1"), and the server.
std::string RemoteArchive(TFileRelated* Owner, std::string& Host) {
  TNetInstallLocation* loc = Owner->EffectiveNetLocation();
  Host = loc ? loc->LoginInformation()->Hostname() : std::string();
  return (loc ? loc->LoginInformation()->Directory() : std::string()) + "/" + Owner->Name() + ".1";
}

// The file list as the server has it, and the server.
std::string RemoteFileList(std::string& Host) {
  const TLoginInformation* login = DefaultNetLocation ? DefaultNetLocation->LoginInformation() : nullptr;
  Host = login ? login->Hostname() : std::string();
  return (login ? login->Directory() : std::string()) + "/filelist.lst";
}

const char* const SCannotOpenDownload = "The archive %s downloaded from %s cannot be opened as %s: %s";

template <class T>
T* FirstAs(TObject* PO, const char* WrongText) {
  T* t = dynamic_cast<T*>(PO);
  if (!t) throw IEFileContainer(WrongText);
  return t;
}

}  // namespace

TFileContainer::TFileContainer(TComponent* AOwner) : TFileRelated(AOwner), FDescription(new TStringList()) {}

TFileContainer::~TFileContainer() {
  delete FDescription;
  FDescription = nullptr;
  // The container's own files go with it; sub-containers are only detached
  // (by the destruction notice of the base).
  ClearFiles();
}

int TFileContainer::FileCount() { return CompCount<TCustomInstallFile>(); }
TCustomInstallFile* TFileContainer::Files(int I) { return Comp<TCustomInstallFile>(I); }

void TFileContainer::SetDescription(const TStrings* Value) {
  if (Value) FDescription->Assign(Value);
  else FDescription->Clear();
}

void TFileContainer::WriteUnfinished(const std::string&, TUnfinishedCommand) {}

int TFileContainer::TotalPercent(int64_t Part) const {
  if (FPredictedProcessBytes == 0) return 0;
  return static_cast<int>(std::nearbyint(static_cast<double>(Part) / FPredictedProcessBytes * 100));
}

void TFileContainer::SetTotalBytesProcessed(int64_t Value) { FTotalBytesProcessed = Clamp32(Value); }

void TFileContainer::SetState(TFileContainerState NewState) {
  // A stored state never starts a job while the module streams.
  if (Loading()) return;
  try {
    switch (NewState) {
      case fcsInstall:
        Install();
        break;
      case fcsCopy:
        CopyIt();
        break;
      case fcsCompress:
        Compress(0);
        break;
      case fcsNone:
        break;
    }
  } catch (...) {
    FState = fcsNone;
    throw;
  }
  FState = fcsNone;
}

void TFileContainer::InstallUnique() {
  FState = fcsInstall;
  bool failed = false;
  std::exception_ptr error;
  {
    TWaitCursor cursor;
    try {
      // The file list has given the files' sizes by now.
      AdoptWholeDownload(true, true);
      ReadInfoFromArchive();
      // The pages have chosen what to install: nothing of it is written
      // while an archive it needs lacks a file.
      if (!InsideInstallJob(this)) CheckArchivesOfJob();
      ExternalComponentCall(this, eccBeforeInstallFileGroup, nullptr);
      if (FContainer) FContainer->DoInformationEventControl(this, eieBPFileContainer, this);
      FPredictedProcessBytes = GetSize(false);
      FTotalBytesProcessed = 0;
      if (FOnShowCopyFileDlg) FOnShowCopyFileDlg(this);
      TInstallContainer::InstallUnique();
      if (FContainer) FContainer->DoInformationEventControl(this, eieAPFileContainer, this);
    } catch (...) {
      failed = true;
      error = std::current_exception();
      DiscardUnreadableDownload(error);
    }
  }
  // A job ended by any exception counts as aborted, not only by the archive's flag.
  const bool wasAborted = failed || (QlntCompress && QlntCompress->Abort());
  try {
    ExternalComponentCall(this, eccDoneCopyingFiles, nullptr);
    if (FOnCloseCopyFileDlg) FOnCloseCopyFileDlg(this, wasAborted);
  } catch (...) {
    FState = fcsNone;
    if (!failed) throw;  // the first failure is the one that passes on
  }
  FState = fcsNone;
  if (failed) std::rethrow_exception(error);
}

void TFileContainer::CopyIt() {
  FState = fcsCopy;
  try {
    if (FOnBeforeProcess) FOnBeforeProcess(this);
    if (FInclude) {
      if (FContainer) FContainer->DoInformationEventControl(this, eieBPFileContainer, this);
      ReadInfoFromDisk();
      FPredictedProcessBytes = GetSize(false);
      FTotalBytesProcessed = 0;
      for (int i = 0; i < FileCount(); ++i) Files(i)->CopyIt();
      for (int i = 0; i < HCCount(); ++i)
        if (auto* fc = dynamic_cast<TFileContainer*>(HC(i))) fc->CopyIt();
      if (FOnAfterProcess) FOnAfterProcess(this);
      if (FContainer) FContainer->DoInformationEventControl(this, eieAPFileContainer, this);
    }
  } catch (...) {
    FState = fcsNone;
    try {
      ExternalComponentCall(this, eccDoneCopyingFiles, nullptr);
    } catch (...) {
    }
    throw;
  }
  FState = fcsNone;
  ExternalComponentCall(this, eccDoneCopyingFiles, nullptr);
}

void TFileContainer::DoInformationEventControl(TInstallContainer*, int ComponentCall, TObject* PO) {
  if (FState == fcsNone) return;
  switch (ComponentCall) {
    case eieInstallingFile:
    case eieCompressingFile:
    case eieCopyingFile:
      ReportFileProgress(PO);
      break;
    case eieInstallFileAbortBefore:
    case eieInstallFileAbortOlder:
      ReportFileSkipped(PO);
      break;
    case eieReplaceInstallFile: {
      if (!PO) throw IEFileContainer(SNilPO, {Name()});
      auto* file = FirstAs<TCustomInstallFile>(PO, "DoInformationEventControl parameter is not TInstallFile");
      DoReplaceFile(file);
      break;
    }
    case eieChangeDisk:
      ReportDiskChange(PO);
      break;
    case eieDownloadingNetFile: {
      if (!PO) throw IEFileContainer(SNilPO, {Name()});
      auto* p = dynamic_cast<TDownloadStatusParameter*>(PO);
      if (!p) throw IEFileContainer(SPONotDownloadStatus, {Name()});
      if (FOnDataReceived) FOnDataReceived(this, p->FileName, p->Bytes, p->TotalBytesReceived, p->FileSize);
      ExternalComponentCall(this, eccDownloadingNetFile, p);
      break;
    }
    default:
      break;
  }
  if (FContainer) FContainer->DoInformationEventControl(this, ComponentCall, PO);
}

TEventParameterList* TFileContainer::StatusParameters(TObject* PO) {
  if (!PO) throw IEFileContainer(SNilPO, {Name()});
  auto* list = dynamic_cast<TEventParameterList*>(PO);
  if (!list) throw IEFileContainer("DoInformationEventControl--PO is not a TList object");
  if (list->Count() < 2) throw IEFileContainer("DoInformationEventControl--Not engouh parameters for status event");
  return list;
}

void TFileContainer::ReportFileProgress(TObject* PO) {
  TEventParameterList* list = StatusParameters(PO);
  auto* file = FirstAs<TCustomInstallFile>(list->Items[0], "DoInformationEventControl says bad first parameter");
  auto* fsp = FirstAs<TFileStatusParameter>(list->Items[1], "DoInformationEventControl says bad second parameter");
  const int64_t total = static_cast<int64_t>(FTotalBytesProcessed) + fsp->FileBytesProcessed;
  fsp->TotalBytesProcessed = Clamp32(total);
  fsp->TotalComplete = TotalPercent(total);
  DoStatus(file, fsp);
  if (fsp->FileStats.Last) SetTotalBytesProcessed(static_cast<int64_t>(FTotalBytesProcessed) + fsp->FileStats.IFSize);
}

// A file the job passes over counts as done, whole, in the totals.
void TFileContainer::ReportFileSkipped(TObject* PO) {
  if (!PO) throw IEFileContainer(SNilPO, {Name()});
  auto* file = FirstAs<TCustomInstallFile>(PO, "DoInformationEventControl says bad first parameter");
  TFileStatusParameter fsp;
  fsp.FileBytesProcessed = file->Size();
  fsp.FileComplete = 100;
  fsp.FileName = file->FileName();
  const int64_t total = static_cast<int64_t>(FTotalBytesProcessed) + file->Size();
  fsp.TotalBytesProcessed = Clamp32(total);
  fsp.TotalComplete = TotalPercent(total);
  DoStatus(file, &fsp);
  SetTotalBytesProcessed(total);
}

void TFileContainer::ReportDiskChange(TObject* PO) {
  TEventParameterList* list = StatusParameters(PO);
  auto* file = dynamic_cast<TCustomInstallFile*>(list->Items[0]);
  if (!file) throw IEFileContainer("DoInformationEventControl says bad %d parameter", {1});
  auto* disk = dynamic_cast<TDiskParameter*>(list->Items[1]);
  if (!disk) throw IEFileContainer("DoInformationEventControl says bad %d parameter", {2});
  DoChangeDisk(file, disk);
  ExternalComponentCall(this, eccChangeDiskManager, list);
}

void TFileContainer::DoStatus(TInstallObject* InstallFile, TFileStatusParameter* FileStatusParameter) {
  if (FOnStatus) FOnStatus(InstallFile, FileStatusParameter->FileComplete, FileStatusParameter->TotalComplete);
  ExternalComponentCall(this, eccCopyingFile, FileStatusParameter);
}

void TFileContainer::DoReplaceFile(TInstallObject* InstallFile) {
  if (FOnReplacing) FOnReplacing(InstallFile);
  ExternalComponentCall(this, eccReplacingFile, InstallFile);
}

void TFileContainer::DoChangeDisk(TInstallObject* InstallFile, TDiskParameter* DiskParameter) {
  if (!FOnNewDisk) return;
  std::string dir = DiskParameter->SourceDir;
  FOnNewDisk(InstallFile, DiskParameter->Disk, dir);
  InstallFile->Tag = 1;
  DiskParameter->SourceDir = dir;
}

void TFileContainer::ClearFiles() { ClearBaseHelperType<TCustomInstallFile>(); }

TCustomInstallFile* TFileContainer::FileByName(const std::string& Name) {
  for (int i = 0; i < FileCount(); ++i) {
    TCustomInstallFile* f = Files(i);
    std::string dir = f->IncludeFromDir();
    if (!dir.empty()) dir = DirectoryWBS(dir);
    if (CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, Widen(dir + f->FileName()).c_str(), -1,
                       Widen(Name).c_str(), -1) == CSTR_EQUAL)
      return f;
  }
  return nullptr;
}

int32_t TFileContainer::GetSize(bool Literal) {
  int64_t sum = 0;
  for (int i = 0; i < HCCount(); ++i) {
    TInstallObject* o = HC(i);
    if (!Literal && !IsIncluded(o)) continue;
    if (auto* f = dynamic_cast<TCustomInstallFile*>(o))
      sum += f->Size();
    else if (auto* fc = dynamic_cast<TFileContainer*>(o))
      sum += fc->GetSize(Literal);
  }
  return Clamp32(sum);
}

int32_t TFileContainer::GetCompressedSize(bool Literal) {
  int64_t sum = 0;
  for (int i = 0; i < HCCount(); ++i) {
    TInstallObject* o = HC(i);
    if (!Literal && !IsIncluded(o)) continue;
    if (auto* f = dynamic_cast<TCustomInstallFile*>(o))
      sum += f->CompressedSize();
    else if (auto* fc = dynamic_cast<TFileContainer*>(o))
      sum += fc->GetCompressedSize(Literal);
  }
  return Clamp32(sum);
}

std::string TFileContainer::GetNetArchive() {
  std::string file;
  if (!AlreadyDownloaded(file))
    throw IEFileContainer(
        "%s has not yet downloaded the archive file and therefore cannot retrieve the path of the archive file",
        {Name()});
  return file;
}

bool TFileContainer::AdoptWholeDownload(bool CompareSizes, bool HeldStops) {
  if (GetDistributeType() == dtTraditional) return true;
  std::string downloaded;
  if (!AlreadyDownloaded(downloaded)) return true;
  std::string reason;
  const TDownloadCheck check = CheckDownload(downloaded, reason);
  if (check == TDownloadCheck::Unopenable) {
    // Held by another program (a virus scanner looking at it): nothing says
    // it is damaged, so it stays with its record, as a fresh one does.
    if (!HeldStops) return false;
    std::string host;
    const std::string remote = RemoteArchive(this, host);
    throw IEFileContainer(SCannotOpenDownload, {remote, host, downloaded, reason});
  }
  // A damaged one goes: the files download the archive again.
  if (check == TDownloadCheck::Whole && !FileNotInDownload(downloaded, CompareSizes))
    FNetArchiveFile = downloaded;
  else
    DiscardDownload();
  return true;
}

void TFileContainer::CheckArchivesOfJob() {
  std::vector<TFileContainer*> containers{this};
  std::vector<std::pair<std::string, TCustomInstallFile*>> local;
  for (size_t i = 0; i < containers.size(); ++i) {
    TFileContainer* c = containers[i];
    for (int k = 0; k < c->HCCount(); ++k) {
      TInstallObject* o = c->HC(k);
      if (!Installs(o)) continue;
      if (auto* fc = dynamic_cast<TFileContainer*>(o)) containers.push_back(fc);
      auto* f = dynamic_cast<TCustomInstallFile*>(o);
      if (!f || ComesOverNetwork(f)) continue;
      try {
        local.emplace_back(f->GetArchiveFile(), f);
      } catch (const IException&) {
        // An archive path that cannot be made: the file's install names that.
      }
    }
    if (c != this) c->AdoptWholeDownload(true, true);
    c->RefuseUnlistedFiles();
  }
  // Read as the install reads them: a disk set's headers all stand on its
  // first volume, so no other disk is asked for here.
  for (const auto& [archive, f] : local) {
    if (Trim(archive).empty()) continue;
    PointQlntCompressAt(archive);
    if (QlntCompress->FindFile(f->SourcePath()) < 0)
      throw IEFileContainer("The archive %s does not hold the file %s", {archive, f->SourcePath()});
  }
}

void TFileContainer::RefuseUnlistedFiles() {
  for (int i = 0; i < FileCount(); ++i) {
    TCustomInstallFile* f = Files(i);
    if (!f->MissingFromFileList() || !Installs(f) || !TakesContainerDownload(f)) continue;
    std::string host;
    const std::string list = RemoteFileList(host);
    throw IEFileContainer("The remote list of files %s downloaded from %s has no record of the file %s (%s)",
                          {list, host, f->SourcePath(), f->Name()});
  }
}

TFileContainer::TDownloadCheck TFileContainer::CheckDownload(const std::string& Archive, std::string& Reason) {
  if (!Openable(Archive, Reason)) return TDownloadCheck::Unopenable;
  try {
    PointQlntCompressAt(Archive);
    // Read afresh: the headers in memory may be those of another copy.
    QlntCompress->ReadInformation();
    return QlntCompress->FileHeaders()->MultiPartition() ? TDownloadCheck::Damaged : TDownloadCheck::Whole;
  } catch (const EycIncomplete&) {
    return TDownloadCheck::Incomplete;
  } catch (const Exception&) {
    // Opened a moment ago: taken since by another program, or damaged.
    return Openable(Archive, Reason) ? TDownloadCheck::Damaged : TDownloadCheck::Unopenable;
  }
}

TCustomInstallFile* TFileContainer::FileNotInDownload(const std::string& Archive, bool CompareSizes) {
  PointQlntCompressAt(Archive);
  const TFileHeaders* headers = QlntCompress->FileHeaders();
  for (int i = 0; i < FileCount(); ++i) {
    TCustomInstallFile* f = Files(i);
    if (!TakesContainerDownload(f)) continue;
    const int at = QlntCompress->FindFile(f->SourcePath());
    // A file the list does not describe has no size to compare.
    const bool sized = CompareSizes && !f->MissingFromFileList();
    if (at < 0 || (sized && headers->FileHeaders(at)->Data.NormalSize != f->Size())) return f;
  }
  return nullptr;
}

void TFileContainer::DownloadWholeArchive() {
  if (GetDownloadedRemoteFile()) return;
  // Nothing is fetched for files the list cannot describe.
  RefuseUnlistedFiles();
  DownloadRemoteFile();
  // A fresh download is checked as an earlier run's is, before any file is
  // taken from it: a transfer that ended early without an error, a damaged
  // one or the archive of other files goes, and the next run fetches it
  // again. One that another program holds stays for the next run.
  std::string reason, host;
  const TDownloadCheck check = CheckDownload(FNetArchiveFile, reason);
  const std::string remote = RemoteArchive(this, host);
  if (check == TDownloadCheck::Unopenable)
    throw IEFileContainer(SCannotOpenDownload, {remote, host, FNetArchiveFile, reason});
  TCustomInstallFile* missing = check == TDownloadCheck::Whole ? FileNotInDownload(FNetArchiveFile, true) : nullptr;
  if (check == TDownloadCheck::Whole && !missing) return;
  DiscardDownload();
  if (check == TDownloadCheck::Incomplete)
    throw IEFileContainer("The archive %s downloaded from %s is incomplete", {remote, host});
  if (check == TDownloadCheck::Damaged)
    throw IEFileContainer("The archive %s downloaded from %s is damaged", {remote, host});
  throw IEFileContainer("The archive %s downloaded from %s does not hold the file %s as the file list gives it",
                        {remote, host, missing->SourcePath()});
}

void TFileContainer::DiscardUnreadableDownload(std::exception_ptr Failure) {
  if (!QlntCompress || Trim(QlntCompress->CompressedFile()).empty()) return;
  const std::string failing = QlntCompress->CompressedFile();
  // What the archive component says of the archive itself (it names it, or
  // the file it lacks) or of its data; a target it could not write, a full
  // disk or a Cancel leave the download as it is. Failure keeps the
  // exception alive, so its message can name the archive as the server has it.
  Exception* damage = nullptr;
  try {
    std::rethrow_exception(Failure);
  } catch (const EycDiskFull&) {
  } catch (const EycAborted&) {
  } catch (EQlntCompress& e) {
    if (e.Message.find(failing) != std::string::npos ||
        e.Message.rfind("The following file was not found in the archive", 0) == 0)
      damage = &e;
  } catch (EZlibError& e) {
    damage = &e;
  } catch (...) {
  }
  std::string reason;
  // One that another program holds now is not damaged, and could not go.
  if (!damage || !Openable(failing, reason)) return;
  // Workers still reading ahead in the archive would keep it from going.
  QlntCompress->SetUnpackAhead(QlntCompress->UnpackAhead());
  std::vector<TFileRelated*> owners{this};
  for (int i = 0; i < FileCount(); ++i) owners.push_back(Files(i));
  for (TFileRelated* o : owners) {
    std::string recorded;
    if (!(o->AlreadyDownloaded(recorded) && SameText(recorded, failing))) continue;
    o->DiscardDownload();
    // The message would name a copy that is gone.
    std::string host;
    const std::string remote = RemoteArchive(o, host);
    damage->Message = StringReplaceAll(damage->Message, failing, remote + " downloaded from " + host);
  }
}

void TFileContainer::ReadInfoFromArchive() {
  TWaitCursor cursor;
  // A damaged download of an earlier run is not read: the files then
  // download it again when they install. One that another program holds is
  // not read now either; the install job looks at it again.
  const bool held = !AdoptWholeDownload(false, false);
  for (int i = 0; i < FileCount(); ++i)
    if (!held || !TakesContainerDownload(Files(i))) Files(i)->ReadInfoFromArchive();
  for (int i = 0; i < HCCount(); ++i)
    if (auto* fc = dynamic_cast<TFileContainer*>(HC(i))) fc->ReadInfoFromArchive();
}

void TFileContainer::ReadInfoFromDisk() {
  TWaitCursor cursor;
  for (int i = 0; i < FileCount(); ++i) Files(i)->ReadInfoFromDisk();
  for (int i = 0; i < HCCount(); ++i)
    if (auto* fc = dynamic_cast<TFileContainer*>(HC(i))) fc->ReadInfoFromDisk();
}

bool TFileContainer::WillNeedToDownloadFromNet() {
  if (GetDistributeType() == dtTraditional) return false;
  for (int i = 0; i < FileCount(); ++i) {
    TCustomInstallFile* f = Files(i);
    if (f->Net() && f->Include() && !f->NetLocation()) return true;
  }
  return false;
}

// ------------------------------------------------------------ TInstallFileGroup

TInstallFileGroup::TInstallFileGroup(TComponent* AOwner) : TFileContainer(AOwner) {
  FAutomaticInstallation = true;
  FInclude = true;
  FGroupName = FContainer ? "Group #" + IntToStr(FContainer->FileGroupCount()) : "Unnamed File Group";
}

void TInstallFileGroup::Refresh() {
  for (int i = FileCount(); i-- > 0;) {
    TCustomInstallFile* f = Files(i);
    std::string dir = f->IncludeFromDir();
    if (!dir.empty()) dir = DirectoryWBS(dir);
    if (!FileExists(dir + f->FileName())) {
      RemoveHelperComponent(f);
      delete f;
    }
  }
}
