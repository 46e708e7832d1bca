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
  const bool includeAll = Has(CompressOptions, coIncludeAll);
  FState = fcsCompress;
  std::exception_ptr error;
  try {
    if (FOnBeforeProcess) FOnBeforeProcess(this);
    if (FInclude) {
      if (FContainer) FContainer->DoInformationEventControl(this, eieBPFileContainer, this);
      ReadInfoFromDisk();
      FPredictedProcessBytes = GetSize(includeAll);
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

      for (int i = 0; i < HCCount(); ++i) {
        auto* child = dynamic_cast<TFileRelated*>(HC(i));
        if (!child) continue;
        auto* file = dynamic_cast<TCustomInstallFile*>(child);
        const bool isNet = file && !forceLocal && (file->Net() || forceNet);
        const TSavedArchive saved(child);
        try {
          if (!child->Include() && includeAll) child->SetInclude(true);
          if (isNet) {
            TCompressInfo& info = file->CompressInfo();
            info.AddedAsNet = true;
            // An archive that holds this one file is rewritten: appending
            // would leave the previous build's copy first in it.
            const bool own = file->NetLocation() || file->GetPlaceInOwnArchive();
            const std::string target = own ? NetArchiveFor(file) : netArchive;
            if (file->NetLocation())
              file->GetServerAndPath(info.Server, info.ServerPath);
            else
              GetServerAndPath(info.Server, info.ServerPath);
            child->SetAddToArchive(own ? lzcOverwrite : lzcOnlyAdd);
            child->SetArchiveFileType(ddAbsolute);
            child->SetArchiveFile(target);
          } else if (Has(CompressOptions, coForceOneFile)) {
            child->SetAddToArchive(lzcOnlyAdd);
            child->SetArchiveFileType(ddContainerArchiveFile);
            child->SetArchiveFile("");
          } else if (Has(CompressOptions, coForceDirectory)) {
            if (child->ArchiveFileType() == ddContainerArchiveFile) {
              child->SetAddToArchive(lzcOnlyAdd);
            } else {
              const std::string moved = UnderBuildFolder(ExtractFileDir(archive), child->GetArchiveFile());
              child->SetAddToArchive(lzcOverwrite);
              child->SetArchiveFileType(ddAbsolute);
              child->SetArchiveFile(moved);
            }
          }
          if (auto* fc = dynamic_cast<TFileContainer*>(child))
            fc->Compress(CompressOptions);
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
