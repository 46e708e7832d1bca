// The distribution build's packing of a file container: where each child's
// archive goes under the build options, which archives start afresh, and the
// children's own settings put back afterwards whatever happens.
#include <exception>

#include "classlib/SysUtils.h"
#include "engine/cmp_TInstallContainer.h"
#include "foundation/exceptions_Quillant.h"
#include "foundation/routines/routines_Strings.h"

namespace {
const char* const SCannotDelete = "%s cannot delete the archive file %s";

bool Has(TCompressOptionsSet S, TCompressOptions O) { return (S & CompressOptionBit(O)) != 0; }

// The child's archive path moved under the build folder: the part after the
// drive, or (no drive) the path from its first name on.
std::string UnderBuildFolder(const std::string& BuildFolder, const std::string& Path) {
  std::string tail = StripDrive(Path);
  if (Path.find(':') == std::string::npos) {
    size_t i = tail.find_first_not_of('\\');
    tail = "\\" + (i == std::string::npos ? std::string() : tail.substr(i));
  }
  return DirectoryWOBS(BuildFolder) + tail;
}

// The settings the packing changes on a child, put back through the writers.
struct TSavedArchive {
  TFileRelated* Obj;
  TlzhCommand AddToArchive;
  std::string ArchiveFile;
  TPathSpecifiers ArchiveFileType;
  bool Include;
  explicit TSavedArchive(TFileRelated* O)
      : Obj(O), AddToArchive(O->AddToArchive()), ArchiveFile(O->ArchiveFile()),
        ArchiveFileType(O->ArchiveFileType()), Include(O->Include()) {}
  void Restore() const {
    Obj->SetAddToArchive(AddToArchive);
    Obj->SetArchiveFileType(ArchiveFileType);
    Obj->SetArchiveFile(ArchiveFile);
    Obj->SetInclude(Include);
  }
};

// A network file of Owner: its own network archive (rewritten, since
// appending would leave the previous build's copy first in it) or Owner's
// (NetArchive), and its server in its build record.
void PlaceNetFile(TFileContainer* Owner, TCustomInstallFile* File, const std::string& NetArchive) {
  TCompressInfo& info = File->CompressInfo();
  info.AddedAsNet = true;
  const bool own = File->NetLocation() || File->GetPlaceInOwnArchive();
  const std::string target = own ? Owner->NetArchiveFor(File) : NetArchive;
  if (File->NetLocation())
    File->GetServerAndPath(info.Server, info.ServerPath);
  else
    Owner->GetServerAndPath(info.Server, info.ServerPath);
  File->SetAddToArchive(own ? lzcOverwrite : lzcOnlyAdd);
  File->SetArchiveFileType(ddAbsolute);
  File->SetArchiveFile(target);
}

// A local child under the options: into its container's archive (Archive),
// or its own archive moved under the build folder.
void PlaceLocal(TFileRelated* Child, TCompressOptionsSet Options, const std::string& Archive) {
  if (Has(Options, coForceOneFile)) {
    Child->SetAddToArchive(lzcOnlyAdd);
    Child->SetArchiveFileType(ddContainerArchiveFile);
    Child->SetArchiveFile("");
  } else if (Has(Options, coForceDirectory)) {
    if (Child->ArchiveFileType() == ddContainerArchiveFile) {
      Child->SetAddToArchive(lzcOnlyAdd);
    } else {
      const std::string moved = UnderBuildFolder(ExtractFileDir(Archive), Child->GetArchiveFile());
      Child->SetAddToArchive(lzcOverwrite);
      Child->SetArchiveFileType(ddAbsolute);
      Child->SetArchiveFile(moved);
    }
  }
}

// Packs one child of Owner where the options put it, and puts its settings
// back whatever happens.
void PackChild(TFileContainer* Owner, TFileRelated* Child, TCompressOptionsSet Options, const std::string& Archive,
               const std::string& NetArchive) {
  auto* file = dynamic_cast<TCustomInstallFile*>(Child);
  const bool isNet = file && !Has(Options, coForceNetFilesLocal) && (file->Net() || Has(Options, coForceFilesNet));
  const TSavedArchive saved(Child);
  try {
    if (!Child->Include() && Has(Options, coIncludeAll)) Child->SetInclude(true);
    if (isNet)
      PlaceNetFile(Owner, file, NetArchive);
    else
      PlaceLocal(Child, Options, Archive);
    if (auto* fc = dynamic_cast<TFileContainer*>(Child))
      fc->Compress(Options);
    else if (file)
      file->Compress();
  } catch (...) {
    try {
      saved.Restore();
    } catch (...) {
    }
    throw;
  }
  saved.Restore();
}

void DeleteArchive(const std::string& Owner, const std::string& Path) {
  if (FileExists(Path) && !RemoveFile(Path)) throw IEFileContainer(SCannotDelete, {Owner, Path});
}
}  // namespace

std::string TFileContainer::NetArchiveFor(TFileRelated* Obj) {
  return DirectoryWBS(ExtractFileDir(GetArchiveFile())) + Obj->GetCompressSubDirectory() + "\\" + Obj->Name() + ".1";
}

void TFileContainer::Compress(TCompressOptionsSet CompressOptions) {
  const bool forceLocal = Has(CompressOptions, coForceNetFilesLocal);
  const bool forceNet = Has(CompressOptions, coForceFilesNet);
  if (forceLocal && forceNet)
    throw IEFileContainer("Cannot pass both coForceNetFilesLocal and coForceFilesNet to Compress");
  FState = fcsCompress;
  std::exception_ptr error;
  try {
    if (FOnBeforeProcess) FOnBeforeProcess(this);
    if (FInclude) {
      if (FContainer) FContainer->DoInformationEventControl(this, eieBPFileContainer, this);
      ReadInfoFromDisk();
      FPredictedProcessBytes = GetSize(Has(CompressOptions, coIncludeAll));
      FTotalBytesProcessed = 0;
      const std::string archive = GetArchiveFile();
      const std::string netArchive = NetArchiveFor(this);
      // During the build the container's network archive is the one it
      // writes, as after an install it is the one it downloaded.
      FNetArchiveFile = netArchive;
      if (FAddToArchive == lzcOverwrite) DeleteArchive(Name(), ChangeFileExt(archive, ".1"));
      bool hasNetFile = forceNet && FileCount() > 0;
      for (int i = 0; i < FileCount() && !hasNetFile; ++i) hasNetFile = Files(i)->Net();
      if (hasNetFile) DeleteArchive(Name(), netArchive);

      for (int i = 0; i < HCCount(); ++i)
        if (auto* child = dynamic_cast<TFileRelated*>(HC(i)))
          PackChild(this, child, CompressOptions, archive, netArchive);
      if (FOnAfterProcess) FOnAfterProcess(this);
      if (FContainer) FContainer->DoInformationEventControl(this, eieAPFileContainer, this);
    }
  } catch (...) {
    error = std::current_exception();
  }
  FState = fcsNone;
  try {
    ExternalComponentCall(this, eccDoneCopyingFiles, nullptr);
  } catch (...) {
    if (!error) throw;  // the first failure is the one that passes on
  }
  if (error) std::rethrow_exception(error);
}
