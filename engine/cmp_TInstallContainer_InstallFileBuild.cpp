// The install file outside the install: its published properties, the rules
// its writers apply, the pack and copy of the distribution build, reading its
// size, date and version from the build machine and its file-list record.
#include <windows.h>

#include <cstring>
#include <cwchar>
#include <vector>

#include "classlib/SysUtils.h"
#include "classlib/WinText.h"
#include "engine/cmp_TInstallContainer.h"
#include "foundation/archive/lzhFormat.h"
#include "foundation/exceptions_Quillant.h"
#include "foundation/routines/routines_Strings.h"

const TEnumInfo InstallFileStateInfo{"TInstallFileState", {"ifsNone", "ifsCompress", "ifsInstall", "ifsCopying"}};
const TEnumInfo InstallFileTypeInfo{
    "TInstallFileType",
    {"iftNormal", "iftJustADLL", "iftApplicationSpecificDLL", "iftVendorSharedDLL", "iftSystemWideDLL"}};
const TEnumInfo OverwriteTypeInfo{"TOverwriteType", {"owAlways", "owNever", "owVersion", "owDate", "owVersionDate"}};

QNT_PUBLISH(TCustomInstallFile);

using TIF = TInstallFile;
QNT_PUBLISH(TInstallFile,
  Prop::Enum("AddToArchive", &TIF::AddToArchive, &TIF::SetAddToArchive, LzhCommandInfo, lzcOverwrite),
  Prop::String("ArchiveFile", &TIF::ArchiveFile, &TIF::SetArchiveFile, ""),
  Prop::Enum("ArchiveFileType", &TIF::ArchiveFileType, &TIF::SetArchiveFileType, PathSpecifiersInfo, ddAbsolute),
  Prop::Boolean("Net", &TIF::Net, &TIF::SetNet, true),
  Prop::Component("NetLocation", &TIF::NetLocation, &TIF::SetNetLocation),
  Prop::Boolean("ActiveX", &TIF::ActiveX, &TIF::SetActiveX, false),
  Prop::String("DestName", &TIF::DestName, &TIF::SetDestName, ""),
  Prop::String("FileName", &TIF::FileName, &TIF::SetFileName, ""),
  Prop::Enum("FileType", &TIF::FileType, &TIF::SetFileType, InstallFileTypeInfo, iftNormal),
  Prop::String("IncludeFromDir", &TIF::IncludeFromDir, &TIF::SetIncludeFromDir, ""),
  Prop::Enum("OverwriteMode", &TIF::OverwriteMode, &TIF::SetOverwriteMode, OverwriteTypeInfo, owAlways),
  Prop::Boolean("RegisterAsHelp", &TIF::RegisterAsHelp, &TIF::SetRegisterAsHelp, false),
  Prop::Object("Repository", &TIF::Repository),
  Prop::Boolean("UpdateDLLCounter", &TIF::UpdateDLLCounter, &TIF::SetUpdateDLLCounter, false),
  Prop::Enum("State", &TIF::State, static_cast<void (TIF::*)(TInstallFileState)>(&TIF::SetState),
             InstallFileStateInfo, ifsNone),
  Prop::Event("OnBeforeInstall", &TIF::OnBeforeInstall, &TIF::SetOnBeforeInstall),
  Prop::Event("OnAfterInstall", &TIF::OnAfterInstall, &TIF::SetOnAfterInstall),
  Prop::Event("OnReplacing", &TIF::OnReplacing, &TIF::SetOnReplacing),
  Prop::Event("OnBeforeCompress", &TIF::OnBeforeCompress, &TIF::SetOnBeforeCompress),
  Prop::Event("OnAfterCompress", &TIF::OnAfterCompress, &TIF::SetOnAfterCompress),
  Prop::Event("OnBeforeCopy", &TIF::OnBeforeCopy, &TIF::SetOnBeforeCopy),
  Prop::Event("OnAfterCopy", &TIF::OnAfterCopy, &TIF::SetOnAfterCopy),
  Prop::Event("OnStatus", &TIF::OnStatus, &TIF::SetOnStatus),
  Prop::Event("OnNewDisk", &TIF::OnNewDisk, &TIF::SetOnNewDisk));

namespace engine_versions {
std::string FileVersion(const std::string& Path);
}

namespace {
// Names the install file's component, which the author finds in the module,
// and the file the build looked for.
const char* const SNoSourceFile =
    "Could not open or find the file of the component %s when trying to read the Size, Date, and Version: %s";
const char* const SSourcePathTooLong =
    "The source path of the component %s cannot be packed: it is longer than the 100 characters an archive keeps "
    "of a file's name (a letter beyond ASCII counts as two to four): %s";
const char* const SBlankDest =
    "Cannot compress,copy, or install the following file because it's destination directory is blank. File is :%s";
const char* const SBlankArchive =
    "Cannot either compress or decompress the following file because it's archive file property is blank. File "
    "is :%s";

const char* const SNotFileContainer =
    "The following TInstallFile component %s requires the Container property to be a component descended from the "
    "TFileContainer component";
const char* const SSharedDLLNot83 =
    "The following file :%s: is specified to be a Shared DLL file. To be installed on the user's system, shared DLLs "
    "must be loaded into the WININIT.INI. However, the WININIT.INI supports only old 8.3 character filenames";

bool IsDLLKind(TInstallFileType T) { return T != iftNormal; }

// The folder that a DLL kind prescribes; other kinds keep the one given.
void FolderOfKind(TInstallFileType Kind, std::string& DestDir, TPathSpecifiers& DestDirType) {
  switch (Kind) {
    case iftApplicationSpecificDLL:
      DestDir = "\\System";
      DestDirType = ddMainInstallDir;
      break;
    case iftVendorSharedDLL:
      DestDir = "\\System";
      DestDirType = ddCommonFilesDir;
      break;
    case iftSystemWideDLL:
      DestDir.clear();
      DestDirType = ddSystem;
      break;
    default:
      break;
  }
}

// Self-registration marker of a file's version block, under its first translation.
bool HasOLESelfRegister(const std::string& Path) {
  std::wstring w = Widen(Path);
  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeW(w.c_str(), &handle);
  if (size == 0) return false;
  std::vector<unsigned char> block(size);
  if (!GetFileVersionInfoW(w.c_str(), 0, size, block.data())) return false;
  void* trans = nullptr;
  UINT len = 0;
  if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &trans, &len) || len < 4) return false;
  const WORD* t = static_cast<const WORD*>(trans);
  wchar_t key[64];
  swprintf(key, 64, L"\\StringFileInfo\\%04X%04X\\OLESelfRegister", t[0], t[1]);
  void* value = nullptr;
  return VerQueryValueW(block.data(), key, &value, &len) != 0;
}
}  // namespace

TCustomInstallFile::TCustomInstallFile(TComponent* AOwner) : TFileRelated(AOwner), FRepository(new TRepository(this)) {
  FAutomaticInstallation = true;
  FInclude = true;
  if (InstallFileList) InstallFileList->Add(this);
}

TCustomInstallFile::~TCustomInstallFile() {
  AnnounceDestruction();
  delete FRepository;
  FRepository = nullptr;
  if (InstallFileList) InstallFileList->Remove(this);
}

std::string TCustomInstallFile::SourcePath() const { return DirectoryWBS(FIncludeFromDir) + FFileName; }

bool TCustomInstallFile::GetPlaceInOwnArchive() const {
  return FNetLocation || FOverwriteMode == owVersion || FOverwriteMode == owDate || FOverwriteMode == owVersionDate;
}

void TCustomInstallFile::SetRepository(const TRepository* Value) {
  if (Value) FRepository->Assign(Value);
}

void TCustomInstallFile::DestroyingContainer(TInstallContainer* AContainer) {
  if (FRepository) FRepository->FileDestroyed(AContainer);
  TFileRelated::DestroyingContainer(AContainer);
}

// ------------------------------------------------------------------- writers

void TCustomInstallFile::SetActiveX(bool Value) {
  if (Loading()) FActiveX = Value;
  else SetProperties(FContainer, FIncludeFromDir, FFileName, FDestDir, FDestName, FDestDirType, FFileType, Value);
}
void TCustomInstallFile::SetDestName(const std::string& NewName) {
  if (Loading()) FDestName = NewName;
  else SetProperties(FContainer, FIncludeFromDir, FFileName, FDestDir, NewName, FDestDirType, FFileType, FActiveX);
}
void TCustomInstallFile::SetFileName(const std::string& NewName) {
  if (Loading()) FFileName = NewName;
  else SetProperties(FContainer, FIncludeFromDir, NewName, FDestDir, FDestName, FDestDirType, FFileType, FActiveX);
}
void TCustomInstallFile::SetFileType(TInstallFileType NewFileType) {
  if (Loading()) FFileType = NewFileType;
  else SetProperties(FContainer, FIncludeFromDir, FFileName, FDestDir, FDestName, FDestDirType, NewFileType, FActiveX);
}
void TCustomInstallFile::SetIncludeFromDir(const std::string& NewDir) {
  if (Loading()) FIncludeFromDir = NewDir;
  else SetProperties(FContainer, NewDir, FFileName, FDestDir, FDestName, FDestDirType, FFileType, FActiveX);
}
void TCustomInstallFile::SetDestDir(const std::string& NewDestDir) {
  if (Loading()) FDestDir = NewDestDir;
  else SetProperties(FContainer, FIncludeFromDir, FFileName, NewDestDir, FDestName, FDestDirType, FFileType, FActiveX);
}
void TCustomInstallFile::SetDestDirType(TPathSpecifiers NewDestDirType) {
  if (Loading()) TFileRelated::SetDestDirType(NewDestDirType);
  else SetProperties(FContainer, FIncludeFromDir, FFileName, FDestDir, FDestName, NewDestDirType, FFileType, FActiveX);
}
void TCustomInstallFile::SetContainer(TInstallContainer* IC) {
  if (Loading()) {
    TFileRelated::SetContainer(IC);
    return;
  }
  FDidSetContainer = true;
  SetProperties(IC, FIncludeFromDir, FFileName, FDestDir, FDestName, FDestDirType, FFileType, FActiveX);
}

void TCustomInstallFile::SetProperties(TInstallContainer* NewContainer, const std::string& NewIncludeFromDir,
                                       const std::string& NewFileName, const std::string& NewDestDir,
                                       const std::string& NewDestName, TPathSpecifiers NewDestDirType,
                                       TInstallFileType NewFileType, bool NewActiveX) {
  std::string destDir = NewDestDir, destName = NewDestName;
  TPathSpecifiers destDirType = NewDestDirType;
  TInstallFileType fileType = NewFileType;
  bool activeX = NewActiveX;
  const bool containerChanged = NewContainer != FContainer;
  const bool destDirTypeChanged = NewDestDirType != FDestDirType;
  const bool fileNameChanged = !SameText(NewFileName, FFileName);
  const bool includeChanged = !SameText(NewIncludeFromDir, FIncludeFromDir);
  auto* fc = dynamic_cast<TFileContainer*>(NewContainer);
  if (NewContainer && containerChanged && !fc) throw IECustomInstallFile(SNotFileContainer, {Name()});
  if (fc && (containerChanged || fileNameChanged || includeChanged)) {
    const std::string source = DirectoryWBS(NewIncludeFromDir) + NewFileName;
    TCustomInstallFile* other = fc->FileByName(source);
    if (other && other != this) throw IEfcDuplicateFile("There is already a file with the name :%s", {source});
  }
  if (fileNameChanged && !NewFileName.empty()) destName = NewFileName;
  const std::string ext = UpperCase(ExtractFileExt(NewFileName));
  if (fileNameChanged || includeChanged) {
    FRegisterAsHelp = ext == ".HLP" || ext == ".CNT";
    bool selfRegistering = false;
    try {
      selfRegistering = HasOLESelfRegister(DirectoryWBS(NewIncludeFromDir) + NewFileName);
    } catch (...) {
    }
    activeX = ext == ".OCX" || selfRegistering;
  }
  if (activeX && activeX != FActiveX) fileType = iftSystemWideDLL;
  if (destName.size() > 12 && IsDLLKind(fileType)) throw IECustomInstallFile(SSharedDLLNot83, {NewFileName});
  if (destDirTypeChanged && ext.size() == 4 && std::string(".DLL,.OCX,.BLL,.EXE").find(ext) != std::string::npos) {
    if (NewDestDirType == ddWindows || NewDestDirType == ddBDEDLLDir) FOverwriteMode = owVersionDate;
    if (NewDestDirType == ddSystem) fileType = iftSystemWideDLL;
  }
  // The folder follows a DLL kind on every call: a system-wide DLL belongs
  // in the system folder whatever folder is written later.
  FolderOfKind(fileType, destDir, destDirType);
  if (fileType != FFileType) {
    if (fileType == iftJustADLL || fileType == iftApplicationSpecificDLL) FOverwriteMode = owVersionDate;
    if (fileType == iftVendorSharedDLL || fileType == iftSystemWideDLL) {
      FUpdateDLLCounter = true;
      FOverwriteMode = owVersionDate;
    }
  }
  // The folder base first, then the container, whose writer sets the base
  // that a new container implies.
  if (destDirType != FDestDirType && !(containerChanged && NewContainer && destDirType == ddContainerDestDir))
    TFileRelated::SetDestDirType(destDirType);
  if (containerChanged) TFileRelated::SetContainer(NewContainer);
  FIncludeFromDir = NewIncludeFromDir;
  FFileName = NewFileName;
  FDestDir = destDir;
  FDestName = destName;
  FFileType = fileType;
  FActiveX = activeX;
}

// ---------------------------------------------------------- actions and build

void TCustomInstallFile::SetState(TInstallFileState NewState) {
  if (Loading()) return;
  try {
    switch (NewState) {
      case ifsInstall:
        Install();
        break;
      case ifsCompress:
        Compress();
        break;
      case ifsCopying:
        CopyIt();
        break;
      case ifsNone:
        break;
    }
  } catch (...) {
    FState = ifsNone;
    throw;
  }
  FState = ifsNone;
}

void TCustomInstallFile::Compress() {
  FState = ifsCompress;
  bool failed = false;
  try {
    if (FOnBeforeCompress) FOnBeforeCompress(this);
    ReportInformationEvent(eieBeforeCompressFile, this);
    const std::string archive = GetArchiveFile();
    if (Trim(archive).empty()) throw IECustomInstallFile(SBlankArchive, {FFileName});
    if (!FInclude) throw EAbort("");
    ForceDirectories(ExtractFileDir(archive));
    QlntCompress->SetCompressedFile(archive);
    QlntCompress->SetOnAborted([this](TObject* Sender) { DoAbort(Sender); });
    QlntCompress->SetOnStatus([this](TQlntCompress* S, const TlzhFileStats& St) { DoStatus(S, St); });
    QlntCompress->FilesToProcess()->Clear();
    QlntCompress->FilesToProcess()->Add(SourcePath());
    QlntCompress->Add(FAddToArchive);
    FCompressInfo.Added = ciAddedNewer;
    FCompressInfo.ArchiveFile = QlntCompress->CompressedFile();
    if (FOnAfterCompress) FOnAfterCompress(this);
    ReportInformationEvent(eieAfterCompressFile, this);
  } catch (const EAbort&) {
  } catch (...) {
    failed = true;
    FState = ifsNone;
    try {
      ExternalComponentCall(this, eccDoneCopyingFiles, nullptr);
    } catch (...) {
    }
    // Only a failure stops a compression still running elsewhere.
    QlntCompress->SetAbort(true);
    throw;
  }
  (void)failed;
  FState = ifsNone;
  try {
    ExternalComponentCall(this, eccDoneCopyingFiles, nullptr);
  } catch (...) {
    QlntCompress->SetAbort(true);
    throw;
  }
}

void TCustomInstallFile::CopyIt() {
  FState = ifsCopying;
  try {
    try {
      if (FOnBeforeCopy) FOnBeforeCopy(this);
      ReportInformationEvent(eieBeforeCopyFile, this);
      if (!FInclude) throw EAbort("");
      const std::string dir = GetDestDir();
      if (Trim(dir).empty()) throw IECustomInstallFile(SBlankDest, {Name()});
      ForceDirectories(dir);
      QlntCompress->SetOnStatus([this](TQlntCompress* S, const TlzhFileStats& St) { DoStatus(S, St); });
      QlntCompress->Copy(SourcePath(), DirectoryWBS(dir) + DestFileName());
      if (FOnAfterCopy) FOnAfterCopy(this);
      ReportInformationEvent(eieAfterCopyFile, this);
    } catch (const EAbort&) {
    }
  } catch (...) {
    FState = ifsNone;
    ExternalComponentCall(this, eccDoneCopyingFiles, nullptr);
    throw;
  }
  FState = ifsNone;
  ExternalComponentCall(this, eccDoneCopyingFiles, nullptr);
}

void TCustomInstallFile::ReadInfoFromDisk() {
  const std::string path = SourcePath();
  HANDLE h = CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE)
    throw IECustomInstallFile(SNoSourceFile, {Name(), path});
  FILETIME ft{};
  LARGE_INTEGER size{};
  const bool ok = GetFileTime(h, nullptr, nullptr, &ft) && GetFileSizeEx(h, &size);
  CloseHandle(h);
  if (!ok)
    throw IECustomInstallFile(SNoSourceFile, {Name(), path});
  // The archive stores the source path as the entry's name: a longer one
  // would be stored cut, and the install would find no entry under it.
  if (path.size() > lzh::kMaxFileName) throw IECustomInstallFile(SSourcePathTooLong, {Name(), path});
  // The same conversion the archive headers use, so dates compare alike.
  // What the archive and the file list cannot hold is refused here, naming
  // the file, rather than stored wrong.
  int32_t dos = -1;
  const uint64_t t = (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  if (!FileTimeToLocalDosDateTime(t, dos)) throw IECustomInstallFile(SArchiveDateOutOfRange, {path});
  if (size.QuadPart > INT32_MAX) throw IECustomInstallFile(SArchiveFileTooLarge, {path});
  FDate = FileDateToDateTime(dos);
  FSize = static_cast<int32_t>(size.QuadPart);
  SetVersion(engine_versions::FileVersion(path));
}

bool TCustomInstallFile::SupportsSelfRegister() { return HasOLESelfRegister(SourcePath()); }

void TCustomInstallFile::SavePropertiesToStream(TStream* Stream) {
  lzh::TFilePropInfo r;
  r.Size = FSize;
  r.Date = FDate;
  r.szName = Name();
  r.szVersion = FVersion;
  uint8_t rec[lzh::kFilePropInfoSize];
  // Longer names and versions do not fit the record and would be read back
  // as another file's: the build refuses them.
  if (!lzh::EncodeFilePropInfo(r, rec))
    throw IECustomInstallFile("%s does not fit the file list: the name or the version %s is too long",
                              {Name(), FVersion});
  Stream->WriteBuffer(rec, sizeof rec);
}
