// The setup program's readers of what the build wrote: the trailer of the
// self-extracting setup.exe (where files.1 starts inside it) and the file
// list of a network distribution (size, date and version of each file kept
// on the server).
#include "classlib/Handles.h"
#include "classlib/Streams.h"
#include "engine/cmp_TInstall.h"
#include "foundation/exceptions_Quillant.h"
#include "foundation/ftp/cmp_TQlntFTP.h"
#include "foundation/routines/routines_API.h"

namespace {
const char* const SNoExtractInfo =
    "Could not read the extraction info from the archive file %s when trying to find the correct offset into the "
    "self extracting file";
const char* const SCannotReadFileList = "Cannot read the remote list of files: %s downloaded from %s";
}  // namespace

lzh::TSelfExtractInfo TCustomInstall::ReadSelfExtractInfo(const std::string& AFile) {
  uint8_t raw[lzh::kTrailerSize];
  int64_t size = 0;
  try {
    TFileStream fs(AFile, fmOpenRead | fmShareDenyNone);
    size = fs.Size();
    if (size < static_cast<int64_t>(lzh::kTrailerSize)) throw IEInstall(SNoExtractInfo, {AFile});
    fs.Seek(size - static_cast<int64_t>(lzh::kTrailerSize), soBeginning);
    if (fs.Read(raw, lzh::kTrailerSize) != static_cast<int64_t>(lzh::kTrailerSize))
      throw IEInstall(SNoExtractInfo, {AFile});
  } catch (const EStreamError&) {
    throw IEInstall(SNoExtractInfo, {AFile});
  }
  // Offsets outside the file would send every read of the run elsewhere.
  lzh::TSelfExtractInfo t = lzh::DecodeTrailer(raw);
  if (!lzh::TrailerFits(t, size)) throw IEInstall(SNoExtractInfo, {AFile});
  return t;
}

void TCustomInstall::SetCompressOffset() {
  // The setup program reads the trailer's offsets only; the loader alone
  // judges the marker. Only files.1 lies inside setup.exe: any other
  // archive of the run is read from its own start.
  const std::string file = GetArchiveFile();
  const lzh::TSelfExtractInfo t = ReadSelfExtractInfo(file);
  SelfExtractArchive = file;
  SelfExtractOffset = t.Files1StartOffset;
  SelfExtractLast = t.Files1StartOffset > 0 ? t.Files1EndOffset : -1;
}

void TCustomInstall::ReadNetFileList() {
  const std::string tmp = MakeTempFileName(true);
  TScopeGuard remove([&] { RemoveFile(tmp); });
  DefaultNetLocation->DownloadFile("filelist.lst", tmp, MaxFileListSize);
  if (AbortDownload) throw EAIUserAbort();
  ApplyFileList(tmp);
}

void TCustomInstall::ApplyFileList(const std::string& Path) {
  // Until its record comes, a file is one the list does not describe.
  for (int i = 0; i < InstallFileList->Count(); ++i) InstallFileList->Items(i)->SetMissingFromFileList(true);
  lzh::TFileListResult r;
  try {
    TFileStream fs(Path, fmOpenRead | fmShareDenyNone);
    r = lzh::ReadFileList([&](uint8_t* B, size_t N) { return static_cast<size_t>(fs.Read(B, static_cast<int64_t>(N))); },
                          fs.Size(), [](const lzh::TFilePropInfo& Rec) {
                            for (int i = 0; i < InstallFileList->Count(); ++i) {
                              TCustomInstallFile* f = InstallFileList->Items(i);
                              if (!SameText(f->Name(), Rec.szName)) continue;
                              f->SetSize(Rec.Size);
                              f->SetDate(Rec.Date);
                              f->SetVersion(Rec.szVersion);
                              f->SetMissingFromFileList(false);
                              break;
                            }
                          });
  } catch (const EStreamError&) {
    r = lzh::TFileListResult::ShortCount;
  }
  // The copy read here is gone once the failure is shown: the message names
  // the list as the server has it.
  if (r != lzh::TFileListResult::Ok) {
    const TLoginInformation* login = DefaultNetLocation->LoginInformation();
    throw IEInstall(SCannotReadFileList, {login->Directory() + "/filelist.lst", login->Hostname()});
  }
}
