#include "foundation/archive/cmp_TQlntCompress.h"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <memory>

#include "classlib/base/PathBase.h"
#include "classlib/base/TextBase.h"
#include "classlib/DateUtils.h"
#include "classlib/Handles.h"
#include "classlib/Threads.h"
#include "classlib/WinText.h"
#include "foundation/archive/cmp_TQlntCompress_Ahead.h"
#include "foundation/archive/cmp_TVersion.h"
#include "foundation/exceptions_Quillant.h"
#include "foundation/routines/routines_API.h"
#include "foundation/routines/routines_InstallParts.h"

const char* const SArchiveDateOutOfRange =
    "The file %s cannot be packed: it was last changed outside the years 1980 to 2107, the dates an archive can "
    "hold. Give it a date inside them";
const char* const SArchiveFileTooLarge =
    "The file %s cannot be packed: it is larger than 2 GB (2,147,483,647 bytes), the largest file an archive can hold";

namespace {

// Whether an existing destination gives way to the source, by the verdict of
// the version reader; a comparison that failed stops the operation.
bool SourceWins(TFileVersionCompareResult Verdict) {
  if (Verdict == vcrError) throw EQlntCompress("Error comparing file versions in TQlntCompress");
  return Verdict == vcrSourceNewer;
}

const char* const kCorrupt =
    "Could not read the file headers for the compressed file %s. The Archive file could possible be corrupt";
const char* const kAborted = "Operation aborted by user";
const char* const kDateOutOfRange = SArchiveDateOutOfRange;
const char* const kTooLarge = SArchiveFileTooLarge;
const char* const kSizeMismatch =
    "The decompressed file's size does not match with the actual size of the file.  The file is %s in the archive %s";
const char* const kIncomplete = "The compressed data of the following file is incomplete: %s in the archive %s";
const char* const kHeadersIncomplete = "The compressed file %s is incomplete: it ends before its file headers do";
const char* const kDamaged = "The compressed data of the following file are damaged: %s in the archive %s (%s)";

constexpr size_t kOutBlock = 4096;   // one progress step while extracting
constexpr size_t kCopyChunk = 8192;  // plain copy and volume copy
constexpr uint64_t kPumpIntervalMs = 10;
// An entry inflated ahead is given out in blocks that never straddle a piece.
static_assert(TAheadMemory::kPiece % kOutBlock == 0, "a piece holds whole blocks");

std::string FirstField(const std::string& Line) {
  size_t p = Line.find(';');
  return p == std::string::npos ? Line : Line.substr(0, p);
}

// The name part of a path: whatever follows the last "\", "/" or ":". Names
// that would not make a file of their own inside the folder are refused.
bool SafeNamePart(const std::string& Path, std::string& Name) {
  size_t p = Path.find_last_of("\\/:");
  Name = p == std::string::npos ? Path : Path.substr(p + 1);
  std::string t = Trim(Name);
  if (t.empty() || t.find_first_not_of('.') == std::string::npos) return false;
  for (unsigned char c : Name)
    if (c < 32 || std::string("<>\"|?*").find(static_cast<char>(c)) != std::string::npos) return false;
  // Device names stay devices whatever their extension.
  return !qbase::IsDeviceName(t);
}

// The drive a path lies on, as the user knows it: "C:", or "\\server\share".
std::string DriveOf(const std::string& Path) {
  if (Path.size() >= 2 && Path[1] == ':') return Path.substr(0, 2);
  if (Path.rfind("\\\\", 0) != 0) return ExtractFileDir(Path);
  size_t server = Path.find('\\', 2);
  size_t share = server == std::string::npos ? server : Path.find('\\', server + 1);
  return Path.substr(0, share);
}

// "The disk is full", naming the drive and the file (the one installed, not
// the private name it is written under).
EycDiskFull DiskFull(const std::string& FileName) {
  return EycDiskFull("The disk is full: there is no room left on drive %s for the file %s",
                     {DriveOf(FileName), InstallPartOwner(FileName)});
}

HANDLE OpenSharedRead(const std::string& Name) {
  return CreateFileW(Widen(Name).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// A file's last write as the local DOS date-time the archive keeps; a date
// the archive cannot hold is refused naming the file.
TDateTime HandleDate(HANDLE h, const std::string& Name) {
  FILETIME ft{};
  int32_t dos = -1;
  if (!GetFileTime(h, nullptr, nullptr, &ft)) throw EQlntCompress("Cannot open the file %s", {Name});
  uint64_t t = (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  if (!FileTimeToLocalDosDateTime(t, dos)) throw EQlntCompress(kDateOutOfRange, {Name});
  return FileDateToDateTime(dos);
}

}  // namespace

// ------------------------------------------------------------ TFileHeader

void TFileHeader::ReadFileInformation(const std::string& FileName) {
  std::string name = qbase::CutBytes(FirstField(FileName), lzh::kMaxFileName);
  Data.FileName = name;
  {
    THandleOwner f(OpenSharedRead(name));
    if (!f.Valid()) throw EQlntCompress("Cannot open the file %s", {name});
    Data.Date = HandleDate(f.Get(), name);
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(f.Get(), &size)) throw EQlntCompress("Cannot open the file %s", {name});
    // Sizes and positions of the format are signed 32-bit.
    if (size.QuadPart > INT32_MAX) throw EQlntCompress(kTooLarge, {name});
    Data.NormalSize = static_cast<int32_t>(size.QuadPart);
  }
  Data.Version = qbase::CutBytes(ReadFileVersion(name), lzh::kMaxVersion);
}

void TFileHeaders::CreateHeaderInformation(const TStrings* FileNameList, bool Append) {
  if (!Append) Clear();
  for (int i = 0; i < FileNameList->Count(); ++i) {
    auto h = std::make_unique<TFileHeader>();
    h->ReadFileInformation(FileNameList->Get(i));
    h->Data.AddedOrder = i + 1;
    AddFileHeader(h.get());
    h.release();  // the list owns it now
  }
}

// ------------------------------------------------------------ TQlntCompress

namespace {
const TEnumInfo CompressionLevelInfo{"TCompressionLevel", {"colNone", "colFastest", "colDefault", "colMax"}};
const TEnumInfo OverwriteTypeInfo{"TOverwriteType", {"owAlways", "owNever", "owVersion", "owDate", "owVersionDate"}};
}  // namespace

// FilesToProcess is filled in place by the form reader, so its setter's
// removal of blank lines does not apply to lines given in a form.
QNT_PUBLISH(TQlntCompress,
  Prop::Boolean("Abort", &TQlntCompress::Abort, &TQlntCompress::SetAbort, false),
  Prop::String("CompressedFile", &TQlntCompress::CompressedFile, &TQlntCompress::SetCompressedFile, ""),
  Prop::Enum("CompressionLevel", &TQlntCompress::CompressionLevel, &TQlntCompress::SetCompressionLevel,
             CompressionLevelInfo, colMax),
  Prop::String("ExtractDirectory", &TQlntCompress::ExtractDirectory, &TQlntCompress::SetExtractDirectory, ""),
  Prop::Strings("FilesToProcess", &TQlntCompress::FilesToProcess),
  Prop::Integer("Offset", &TQlntCompress::Offset, &TQlntCompress::SetOffset, 0),
  Prop::Enum("Overwrite", &TQlntCompress::Overwrite, &TQlntCompress::SetOverwrite, OverwriteTypeInfo, owAlways),
  Prop::Event("OnAborted", &TQlntCompress::OnAborted, &TQlntCompress::SetOnAborted),
  Prop::Event("OnAfterAdding", &TQlntCompress::OnAfterAdding, &TQlntCompress::SetOnAfterAdding),
  Prop::Event("OnBeforeAdding", &TQlntCompress::OnBeforeAdding, &TQlntCompress::SetOnBeforeAdding),
  Prop::Event("OnAfterExtracting", &TQlntCompress::OnAfterExtracting, &TQlntCompress::SetOnAfterExtracting),
  Prop::Event("OnBeforeExtracting", &TQlntCompress::OnBeforeExtracting, &TQlntCompress::SetOnBeforeExtracting),
  Prop::Event("OnFullDisk", &TQlntCompress::OnFullDisk, &TQlntCompress::SetOnFullDisk),
  Prop::Event("OnListing", &TQlntCompress::OnListing, &TQlntCompress::SetOnListing),
  Prop::Event("OnNewDisk", &TQlntCompress::OnNewDisk, &TQlntCompress::SetOnNewDisk),
  Prop::Event("OnReplace", &TQlntCompress::OnReplace, &TQlntCompress::SetOnReplace),
  Prop::Event("OnStatus", &TQlntCompress::OnStatus, &TQlntCompress::SetOnStatus));

TQlntCompress::TQlntCompress(TComponent* AOwner)
    : TComponent(AOwner), FFilesToProcess(new TStringList), FFileHeaders(new TFileHeaders) {}

TQlntCompress::~TQlntCompress() {
  delete FArchive;
  delete FFileHeaders;
  delete FFilesToProcess;
}

void TQlntCompress::SetCompressedFile(const std::string& Value) {
  if (SameText(Value, FCompressedFile)) return;
  // Volumes of one set (and setup.exe beside setup.1) share the headers.
  if (FInMemory && !SameText(ChangeFileExt(Value, ".1"), ChangeFileExt(FCompressedFile, ".1"))) FInMemory = false;
  FCompressedFile = Value;
}

void TQlntCompress::SetFilesToProcess(TStrings* Value) {
  for (int i = Value->Count() - 1; i >= 0; --i)
    if (Trim(Value->Get(i)).empty()) Value->Delete(i);
  FFilesToProcess->Assign(Value);
}

void TQlntCompress::ReadInformation() {
  FInMemory = false;
  FUnpackAhead.reset();
  ++FHeadersGeneration;
  std::unique_ptr<TFileStream> f;
  if (!FileExists(FCompressedFile)) throw EQlntCompress("Cannot open the compressed file %s", {FCompressedFile});
  try {
    f = std::make_unique<TFileStream>(FCompressedFile, fmOpenRead | fmShareDenyNone);
  } catch (const EFOpenError&) {
    throw EQlntCompress("Cannot open the compressed file %s", {FCompressedFile});
  }
  const int64_t end = ArchiveEnd(f.get());
  try {
    FFileHeaders->ReadHeaderInformation(f.get(), FOffset, end);
  } catch (const std::exception&) {
    if (FFileHeaders->EndedEarly()) throw EycIncomplete(kHeadersIncomplete, {FCompressedFile});
    throw EQlntCompress(kCorrupt, {FCompressedFile});
  }
  // Checked whole before any file is taken from it: a run that fails on a
  // damaged archive has installed nothing. files.1 inside setup.exe is one
  // volume, so a disk-set flag there is damage too.
  lzh::TEntryCheck why;
  const int bad = FFileHeaders->FirstUnfit(FOffset, end, why);
  if (why == lzh::TEntryCheck::Damaged || (FLast >= 0 && FFileHeaders->MultiPartition()))
    throw EQlntCompress(kCorrupt, {FCompressedFile});
  if (why == lzh::TEntryCheck::Cut)
    throw EycIncomplete(kIncomplete, {FFileHeaders->FileHeaders(bad)->Data.FileName, FCompressedFile});
  FInMemory = true;
}

int TQlntCompress::FileCount() {
  if (!FInMemory && FAction != acAdd) ReadInformation();
  return FFileHeaders->Count();
}

TlzhFileStats TQlntCompress::Files(int I) {
  if (I < 0 || I >= FileCount()) throw EQlntCompress("Tried to access the %dth file. This file is not defined", {I});
  FFileHeaders->ProcessTotalStatistics(FFileStats);
  FFileHeaders->FileHeaders(I)->ProcessFileStatistics(FFileStats);
  return FFileStats;
}

int TQlntCompress::FindFile(const std::string& FilePath) {
  if (!FInMemory) ReadInformation();
  for (int i = 0; i < FFileHeaders->Count(); ++i)
    if (SameText(FFileHeaders->FileHeaders(i)->Data.FileName, FilePath)) return i;
  return -1;
}

void TQlntCompress::InformDiskFull() {
  if (FOnFullDisk)
    FOnFullDisk(this);
  else
    throw DiskFull(FWriting);
}


TStream* TQlntCompress::CreateVolume(const std::string& Name) {
  try {
    return new TFileStream(Name, fmCreate);
  } catch (const EFCreateError&) {
    return nullptr;
  }
}

void TQlntCompress::ProcessMessages() { ProcessPendingMessages(); }

void TQlntCompress::PumpMessages() {
  // Every block asks, but the queue is looked at no more than once per
  // window of kPumpIntervalMs: an empty look costs a round trip to the window
  // system, which at a look per 4 KB block costs more than the inflating. A
  // Cancel still arrives within a few milliseconds, and the window repaints
  // as often as the screen does.
  uint64_t now = GetTickCount64();
  if (FLastPump != 0 && now - FLastPump < kPumpIntervalMs) return;
  FLastPump = now;
  ProcessMessages();
}

void TQlntCompress::CheckAbort() {
  if (!FAbort) return;
  FUserAbort = false;
  throw EycAborted(kAborted);
}

void TQlntCompress::Status() {
  if (FOnStatus) FOnStatus(this, FFileStats);
}

int64_t TQlntCompress::ArchiveEnd(TStream* Stream) const {
  const int64_t size = Stream->Size();
  return FLast >= 0 ? std::min<int64_t>(size, static_cast<int64_t>(FLast) + 1) : size;
}

void TQlntCompress::ChangeToPartition(TStream*& Stream, int Disk, std::string& CF, TOpenMode Mode) {
  for (int attempt = 0; attempt < 4; ++attempt) {
    delete Stream;
    Stream = nullptr;
    if (FFileHeaders->MultiPartition()) CF = lzh::VolumeName(CF, Disk);
    if (!FileExists(CF)) {
      if (!FOnNewDisk) throw EQlntCompress("Could not open the correct disk file %d", {Disk});
      std::string path = ExcludeTrailingBackslash(ExtractFileDir(CF));
      FOnNewDisk(this, Disk, path);
      CF = IncludeTrailingBackslash(path) + ExtractFileName(CF);
      if (!FileExists(CF)) continue;
    }
    try {
      Stream = new TFileStream(CF, (Mode == omRead ? fmOpenRead : fmOpenReadWrite) | fmShareDenyNone);
    } catch (const EFOpenError&) {
      throw EQlntCompress("Cannot open the compressed file %s", {CF});
    }
    return;
  }
  throw EQlntCompress("Cannot open the compressed file %s", {CF});
}

// ------------------------------------------------------------ Extract

TExtractOutcome TQlntCompress::Extract() {
  StartOperation();
  FAction = acExtract;
  TScopeGuard done([this] {
    delete FArchive;
    FArchive = nullptr;
    FCurrentHeader = nullptr;
    FFilesToProcess->Clear();
    FExtractName.clear();
    FOnTargetWhole = nullptr;
  });
  bool allWritten = true;
  const bool ran = RunOperation([this, &allWritten] {
    if (!FInMemory) ReadInformation();
    FCurrentDisk = 0;
    FFileHeaders->ProcessTotalStatistics(FFileStats);
    FFileHeaders->ProcessDecompressSize(FFileStats);
    std::vector<std::string> lines;
    for (int i = 0; i < FFilesToProcess->Count(); ++i) lines.push_back(FFilesToProcess->Get(i));
    for (const std::string& line : lines)
      if (!ExtractOne(line)) allWritten = false;
  });
  if (!ran) return eoQuietEnd;
  return allWritten ? eoWritten : eoSkipped;
}

bool TQlntCompress::RunOperation(const std::function<void()>& Body, bool QuietEndAllowed) {
  try {
    Body();
    return true;
  } catch (const EycAborted&) {
    if (FOnAborted) FOnAborted(this);
  } catch (const EAbort&) {
    if (!QuietEndAllowed) {
      FAbort = true;
      throw;
    }
  } catch (...) {
    FAbort = true;
    throw;
  }
  return false;
}

bool TQlntCompress::ExtractOne(const std::string& Line) {
  FSkipFile = false;
  int idx = FFileHeaders->IndexOf(Line);
  if (idx < 0) throw EQlntCompress("The following file was not found in the archive: %s", {Line});
  TFileHeader* h = FFileHeaders->FileHeaders(idx);
  FCurrentHeader = h;
  h->ProcessFileStatistics(FFileStats);

  std::string name;
  if (Trim(FExtractName).empty()) {
    SafeNamePart(h->Data.FileName, name);
    FExtractName = name;
  }
  if (FOnBeforeExtracting) FOnBeforeExtracting(this, FFileStats);
  std::string dir = IncludeTrailingBackslash(FExtractDirectory);
  bool safe = SafeNamePart(FExtractName, name);
  FExtractName = name;
  std::string target = dir + FExtractName;
  if (!safe) throw EQlntCompress("Cannot create the file %s", {target});

  bool newer = true;
  // Under "always", with no one to tell of a replacement, an existing target
  // changes nothing: the look for it (a search of the whole folder under
  // Wine when there is none) is saved, once per file of an install.
  const bool weighs = FOverwrite != owAlways || FOnReplace;
  if (weighs && FileExists(target)) {
    newer = SourceWins(TVersionResource::IsFileNewerHaveSource(h->Data.Date, h->Data.Version, target,
                                                               ConvertToVersionCompareCriteria(FOverwrite)));
    if (newer && FOnReplace) {
      FOnReplace(this, FFileStats);
      safe = SafeNamePart(FExtractName, name);
      target = dir + name;
      if (!safe) throw EQlntCompress("Cannot create the file %s", {target});
    }
  }
  if (FSkipFile) newer = false;
  if (!newer) {
    FFileStats.Last = true;
    Status();
  } else {
    int disk = h->Data.StartDisk == 0 ? 1 : h->Data.StartDisk;
    ChangeToPartition(FArchive, disk, FCompressedFile, omRead);
    FCurrentDisk = h->Data.StartDisk;
    const bool multi = FFileHeaders->MultiPartition();
    // Positions that would fit a longer archive: its data were cut off (a
    // transfer that stopped early). Others are no entry of an archive.
    const lzh::TEntryCheck fit = lzh::CheckEntry(h->Data, multi, FOffset, ArchiveEnd(FArchive));
    if (fit == lzh::TEntryCheck::Cut && !multi) throw EycIncomplete(kIncomplete, {h->Data.FileName, FCompressedFile});
    if (fit != lzh::TEntryCheck::Fits) throw EQlntCompress(kCorrupt, {FCompressedFile});
    InflateEntry(h, idx, target);
  }
  FExtractName.clear();
  return newer;
}

void TQlntCompress::InflateEntry(TFileHeader* Header, int Index, const std::string& Target) {
  const TlzhFileHeader& d = Header->Data;
  const THandle handle = OpenTarget(Target);
  TQlntNormalHandleStream out(handle);
  FTarget = &out;
  FWriting = Target;
  // A target that did not come out whole is removed, never left looking
  // installed.
  bool complete = false;
  TScopeGuard cleanup([&] {
    FTarget = nullptr;
    CloseHandle(reinterpret_cast<HANDLE>(handle));
    if (!complete) RemoveFile(Target);
  });
  // An entry a worker inflated is written from its memory; any other is
  // inflated here, while the workers go on with the ones after it. The memory
  // goes back for the next entries once written (or when this one fails), and
  // the workers waiting for room are told.
  TAheadBytes ahead;
  TScopeGuard giveBack([&] {
    if (!ahead.Size()) return;
    ahead.Clear();
    if (FUnpackAhead) FUnpackAhead->Nudge();
  });
  const bool fromAhead = TakeUnpacked(Index, ahead);
  UnpackAfter(Index);
  const bool ended = fromAhead ? WriteInflatedAhead(d, ahead) : InflateHere(d);
  FinishTarget(d, handle, ended);
  complete = true;
  if (FOnTargetWhole) FOnTargetWhole(this, handle);
  delete FArchive;
  FArchive = nullptr;
}

THandle TQlntCompress::OpenTarget(const std::string& Target) {
  ForceDirectories(ExtractFileDir(Target));
  // A target that is not there yet is made new, with the right to delete it:
  // a file this run made is its own, so its handler may rename it through
  // this handle. One that stands there is made afresh, asking no more than
  // the right to write it.
  const std::wstring name = Widen(Target);
  HANDLE h = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS)
    h = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                    nullptr);
  if (h == INVALID_HANDLE_VALUE) throw EQlntCompress("Cannot create the file %s", {InstallPartOwner(Target)});
  return reinterpret_cast<THandle>(h);
}

bool TQlntCompress::WriteInflatedAhead(const TlzhFileHeader& Entry, TAheadBytes& Ahead) {
  size_t taken = 0;  // bytes given out as blocks
  unsigned char* pending = Ahead.At(0);
  size_t pendingSize = 0;
  for (;;) {
    const size_t got = std::min<size_t>(kOutBlock, Ahead.Size() - taken);
    if (!BlockDone(Entry, got)) break;
    pendingSize += got;
    taken += got;
    // A piece ends on a block's end: it is written whole.
    if (taken % TAheadMemory::kPiece == 0) {
      WriteTarget(pending, pendingSize);
      pending = Ahead.At(taken);
      pendingSize = 0;
    }
    CountProgress(static_cast<int64_t>(got), false);
  }
  WriteTarget(pending, pendingSize);
  return true;  // a worker gives only a stream that ended
}

bool TQlntCompress::InflateHere(const TlzhFileHeader& Entry) {
  // The buffers outlive the Extract: an install extracts one file per call,
  // and fresh megabytes per file would cost more than the inflating.
  unsigned char* const buffer = OutBuffer();
  size_t pendingSize = 0;
  TZDecompressor z;
  FArchive->Seek(static_cast<int64_t>(FOffset) + Entry.StartOffset, soBeginning);
  const int fragments = Entry.EndDisk - FCurrentDisk + 1;
  for (int frag = 0; frag < fragments; ++frag) {
    for (;;) {
      const size_t got = InflateBlock(z, Entry, buffer + pendingSize);
      if (!BlockDone(Entry, got)) break;
      pendingSize += got;
      if (pendingSize + kOutBlock > kOutBufferSize) {
        WriteTarget(buffer, pendingSize);
        pendingSize = 0;
      }
      CountProgress(static_cast<int64_t>(got), false);
    }
    if (FCurrentDisk < Entry.EndDisk) {
      ++FCurrentDisk;
      ChangeToPartition(FArchive, FCurrentDisk, FCompressedFile, omRead);
      FArchive->Seek(0, soBeginning);
    }
  }
  WriteTarget(buffer, pendingSize);
  return z.Ended();
}

size_t TQlntCompress::InflateBlock(TZDecompressor& Z, const TlzhFileHeader& Entry, unsigned char* Block) {
  unsigned char* const in = InBuffer();
  const int64_t last = static_cast<int64_t>(FOffset) + Entry.EndOffset;
  size_t got = 0;
  while (got < kOutBlock && !Z.Ended()) {
    if (Z.InputLeft() == 0) {
      int64_t want = static_cast<int64_t>(kInBufferSize);
      if (FCurrentDisk == Entry.EndDisk) {
        int64_t pos = FArchive->Position();
        want = pos > last ? 0 : std::min<int64_t>(want, last - pos + 1);
      }
      int64_t n = want > 0 ? FArchive->Read(in, want) : 0;
      if (n <= 0) break;
      Z.SetInput(in, static_cast<size_t>(n));
    }
    try {
      got += Z.Inflate(Block + got, kOutBlock - got);
    } catch (const EDecompressionError& e) {
      // The zlib layer knows no names: say which file of which archive.
      throw EDecompressionError(kDamaged, {Entry.FileName, FCompressedFile, e.Message});
    }
  }
  return got;
}

bool TQlntCompress::BlockDone(const TlzhFileHeader& Entry, size_t Got) {
  CheckAbort();
  PumpMessages();
  // A Cancel handled in that pump counts too, also after the last block.
  CheckAbort();
  if (Got == 0) return false;
  // More output than the header promised: the entry is not what it claims,
  // and need not be written to its end to know that.
  if (FFileStats.IFBytesProcessed + static_cast<int64_t>(Got) > Entry.NormalSize)
    throw EQlntCompress(kSizeMismatch, {Entry.FileName, FCompressedFile});
  return true;
}

void TQlntCompress::CountProgress(int64_t Bytes, bool OfPacked) {
  FFileStats.IFBytesProcessed += static_cast<int32_t>(Bytes);
  FFileStats.TotalBytesProcessed += static_cast<int32_t>(Bytes);
  FFileStats.IFCompletion =
      Percentage(FFileStats.IFBytesProcessed, OfPacked ? FFileStats.IFPackedSize : FFileStats.IFSize);
  FFileStats.TotalCompletion =
      Percentage(FFileStats.TotalBytesProcessed, OfPacked ? FFileStats.TotalPackedSize : FFileStats.TotalSize);
  Status();
}

void TQlntCompress::WriteTarget(const unsigned char* Data, size_t Count) {
  int64_t w = Count ? FTarget->Write(Data, static_cast<int64_t>(Count)) : 0;
  if (w < static_cast<int64_t>(Count)) InformDiskFull();
}

void TQlntCompress::FinishTarget(const TlzhFileHeader& Entry, THandle Handle, bool Ended) {
  FFileStats.Last = true;
  Status();
  CheckAbort();
  if (FTarget->Size() != Entry.NormalSize) throw EQlntCompress(kSizeMismatch, {Entry.FileName, FCompressedFile});
  if (!Ended) throw EQlntCompress(kIncomplete, {Entry.FileName, FCompressedFile});
  // The stored date is outside bytes too: only a real date is converted.
  int32_t dos = std::isfinite(Entry.Date) && Entry.Date > 0 && Entry.Date < 100000 ? DateTimeToFileDate(Entry.Date) : 0;
  if (dos == 0 || !FileSetDate(Handle, dos)) throw EQlntCompress("Cannot set the date of the file just extracted.");
}

unsigned char* TQlntCompress::InBuffer() {
  if (!FInBuffer) FInBuffer.reset(new unsigned char[kInBufferSize]);
  return FInBuffer.get();
}

unsigned char* TQlntCompress::OutBuffer() {
  if (!FOutBuffer) FOutBuffer.reset(new unsigned char[kOutBufferSize]);
  return FOutBuffer.get();
}

void TQlntCompress::WritingFailed() {
  InformDiskFull();
  // The handler returned, but what was being written is not whole.
  throw DiskFull(FWriting);
}

void* TQlntCompress::OpenShared(const std::string& Name) { return OpenSharedRead(Name); }

// ------------------------------------------------------------ Copy

void TQlntCompress::Copy(const std::string& SourcePath, const std::string& DestPath) {
  StartOperation();
  // Only a handler of this copy may skip it: a flag an earlier Extract left
  // set must not.
  FSkipFile = false;
  FOffset = 0;
  FExtractDirectory = ExtractFileDir(DestPath);
  FExtractName = ExtractFileName(DestPath);
  std::string target;
  if (!CopyReplaces(SourcePath, DestPath, target)) return;

  THandleOwner src(OpenShared(SourcePath));
  if (!src.Valid()) throw EQlntCompress("Cannot open the file %s", {SourcePath});
  LARGE_INTEGER size{};
  GetFileSizeEx(src.Get(), &size);
  FILETIME date{};
  GetFileTime(src.Get(), nullptr, nullptr, &date);
  TlzhFileStats& s = FFileStats;
  s = TlzhFileStats();
  s.IFName = SourcePath;
  s.IFSize = static_cast<int32_t>(std::min<int64_t>(size.QuadPart, INT32_MAX));
  s.TotalSize = s.IFSize;

  THandleOwner dst(CreateFileW(Widen(target).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!dst.Valid()) throw EQlntCompress("Cannot create the file %s", {target});
  FWriting = target;
  bool complete = false;
  TScopeGuard cleanup([&] {
    if (!complete) {
      dst.Reset();
      DeleteFileW(Widen(target).c_str());
    }
  });
  TQlntNormalHandleStream in(reinterpret_cast<THandle>(src.Get())), out(reinterpret_cast<THandle>(dst.Get()));
  std::vector<unsigned char> buf(kCopyChunk);
  for (;;) {
    if (FAbort) return;  // quietly; the partial target is removed
    int64_t n = in.Read(buf.data(), static_cast<int64_t>(buf.size()));
    if (out.Write(buf.data(), n) < n) InformDiskFull();
    s.IFBytesProcessed += static_cast<int32_t>(n);
    s.TotalBytesProcessed += static_cast<int32_t>(n);
    s.IFCompletion = Percentage(s.IFBytesProcessed, s.IFSize);
    s.TotalCompletion = s.IFCompletion;
    Status();
    PumpMessages();
    if (n < static_cast<int64_t>(buf.size())) break;
  }
  SetFileTime(dst.Get(), nullptr, nullptr, &date);
  complete = true;
  s.Last = true;
  Status();
}

bool TQlntCompress::CopyReplaces(const std::string& SourcePath, const std::string& DestPath, std::string& Target) {
  Target = DestPath;
  bool newer = true;
  if (FileExists(DestPath)) {
    newer = SourceWins(
        TVersionResource::IsFileNewerByName(SourcePath, DestPath, ConvertToVersionCompareCriteria(FOverwrite)));
    if (newer && FOnReplace) {
      FOnReplace(this, FFileStats);
      Target = IncludeTrailingBackslash(FExtractDirectory) + ExtractFileName(FExtractName);
    }
  }
  return newer && !FSkipFile;
}

// ------------------------------------------------------------ CopyToDisk

void TQlntCompress::CopyToDisk(const std::string& Path, const std::string& FileName) {
  StartOperation();
  // The copy rewrites the headers in memory for the disk set: they no
  // longer describe the source, which the next operation must read again.
  TScopeGuard forget([this] { FInMemory = false; });
  RunOperation([&] { CopyToDiskRun(Path, FileName); }, false);
}

void TQlntCompress::CopyToDiskRun(const std::string& Path, const std::string& FileName) {
  if (!FInMemory) ReadInformation();
  int disk = 1;
  FFileHeaders->SetMultiPartition(true);
  FFileHeaders->ProcessTotalStatistics(FFileStats);
  std::unique_ptr<TFileStream> source;
  try {
    // Read only: *TODISK copies from a CD or a read-only share.
    source = std::make_unique<TFileStream>(FCompressedFile, fmOpenRead | fmShareDenyNone);
  } catch (const EFOpenError&) {
    throw EQlntCompress("Cannot open the compressed file %s", {FCompressedFile});
  }
  const int64_t sourceSize = ArchiveEnd(source.get());
  std::string path = Path;
  std::string volumeName = IncludeTrailingBackslash(path) + ExtractFileName(FileName);
  std::unique_ptr<TStream> volume(CreateVolume(volumeName));
  if (!volume) throw EQlntCompress("Cannot create the file %s", {volumeName});
  FFileHeaders->WriteHeaderInformation(volume.get());

  std::vector<unsigned char> buf(kCopyChunk);
  for (int i = 0; i < FFileHeaders->Count(); ++i) {
    TFileHeader* h = FFileHeaders->FileHeaders(i);
    TlzhFileHeader& d = h->Data;
    h->ProcessFileStatistics(FFileStats);
    // The source is a single volume read at Offset: its entry must lie in it.
    if (!lzh::EntryFits(d, false, FOffset, sourceSize)) throw EQlntCompress(kCorrupt, {FCompressedFile});
    const int64_t last = static_cast<int64_t>(FOffset) + d.EndOffset;
    source->Seek(static_cast<int64_t>(FOffset) + d.StartOffset, soBeginning);
    d.StartOffset = static_cast<int32_t>(volume->Position());
    d.StartDisk = static_cast<uint8_t>(disk);
    for (;;) {
      CheckAbort();
      int64_t pos = source->Position();
      if (pos > last) break;
      int64_t want = std::min<int64_t>(static_cast<int64_t>(kCopyChunk), last - pos + 1);
      int64_t n = source->Read(buf.data(), want);
      if (n <= 0) throw EQlntCompress(kCorrupt, {FCompressedFile});
      PumpMessages();
      int64_t w = volume->Write(buf.data(), n);
      if (w < 0) w = 0;
      if (w < n) {
        // This disk is full: the rest of the chunk starts the next one.
        NextVolume(volume, disk, path, volumeName, FileName);
        int64_t rest = n - w;
        if (volume->Write(buf.data() + w, rest) < rest)
          throw EQlntCompress("There is too little space on this disk to operate");
      }
      CountProgress(n, true);
    }
    d.EndOffset = static_cast<int32_t>(volume->Position() - 1);
    d.EndDisk = static_cast<uint8_t>(disk);
  }
  volume.reset();
  WriteFinalHeaders(volumeName);
}

void TQlntCompress::WriteFinalHeaders(const std::string& LastVolume) {
  // Volume 1 again; the last disk may still be in the drive.
  TStream* first = nullptr;
  std::unique_ptr<TStream> firstOwner;
  std::string name = LastVolume;
  ChangeToPartition(first, 1, name, omReadWrite);
  firstOwner.reset(first);
  FFileHeaders->WriteHeaderInformation(first);
}

void TQlntCompress::NextVolume(std::unique_ptr<TStream>& Volume, int& Disk, std::string& Path, std::string& VolumeName,
                               const std::string& FileName) {
  Volume.reset();
  ++Disk;
  if (Disk > 255) throw EQlntCompress("An archive cannot be spread over more than 255 disks");
  if (!FOnNewDisk)
    throw EQlntCompress("There was no event handler for the OnNewDisk event, therefore no new disk could be inserted");
  FOnNewDisk(this, Disk, Path);
  VolumeName = IncludeTrailingBackslash(Path) + ExtractFileName(lzh::VolumeName(FileName, Disk));
  Volume.reset(CreateVolume(VolumeName));
  if (!Volume) throw EQlntCompress("Cannot create the file %s", {VolumeName});
}
