// The archive component's additions: each source deflated (ahead on a worker
// or here) into a temporary file, then copied into the archive behind its
// header.
#include <windows.h>

#include <climits>
#include <memory>

#include "classlib/base/PathBase.h"
#include "classlib/Handles.h"
#include "classlib/WinText.h"
#include "foundation/archive/cmp_TQlntCompress.h"
#include "foundation/archive/cmp_TQlntCompress_Ahead.h"
#include "foundation/exceptions_Quillant.h"
#include "foundation/routines/routines_API.h"

const char* const SArchivePathTooLong =
    "The file %s cannot be packed: its path is longer than the 100 characters an archive keeps of a file's name "
    "(a letter beyond ASCII counts as two to four)";

namespace {

constexpr size_t kSourceChunk = 65536;  // source reads while compressing

// The folder temporary files go to, as the system names it.
std::string TemporaryFolder() {
  wchar_t dir[MAX_PATH + 1] = {};
  DWORD n = GetTempPathW(MAX_PATH + 1, dir);
  return n == 0 || n > MAX_PATH ? std::string() : Narrow(dir, n);
}

}  // namespace

// Extracting keeps its read buffer for the next file, and adding may find it.
static_assert(kSourceChunk <= TQlntCompress::kInBufferSize, "the buffer an extraction leaves must hold a source read");

// The deflated stream of one source in its temporary file, which goes with
// it (the system removes the file when it closes, also after a kill).
struct TQlntCompress::TPackedEntry {
  std::string Temp;
  THandleOwner File;
  std::unique_ptr<TQlntNormalHandleStream> Stream;
  int64_t SourceBytes = 0;  // read so far
  int64_t PackedBytes = 0;  // written so far
  TPackedEntry() = default;
  TPackedEntry(const TPackedEntry&) = delete;
  TPackedEntry& operator=(const TPackedEntry&) = delete;
  ~TPackedEntry() { RemoveTemp(); }
  void Open(HANDLE Handle) {
    File.Reset(Handle);
    Stream = std::make_unique<TQlntNormalHandleStream>(reinterpret_cast<THandle>(Handle));
  }
  void RemoveTemp() {
    Stream.reset();
    File.Reset();
    if (!Temp.empty()) DeleteFileW(Widen(Temp).c_str());
    Temp.clear();
  }
};

void TQlntCompress::Add(TlzhCommand Cmd) {
  StartOperation();
  FAction = acAdd;
  FFileHeaders->SetMultiPartition(false);
  FOffset = 0;
  FInMemory = false;
  FUnpackAhead.reset();
  ++FHeadersGeneration;
  std::unique_ptr<TFileStream> archive;
  TScopeGuard done([&] {
    FArchive = nullptr;
    archive.reset();
    FInBuffer.reset();
    FOutBuffer.reset();
    FFilesToProcess->Clear();
  });
  RunOperation([&] {
    // An entry is found by its whole path: one stored cut would be found by
    // no install, or another file's bytes would be packed in its place.
    for (int i = 0; i < FFilesToProcess->Count(); ++i) {
      const std::string line = FFilesToProcess->Get(i);
      const std::string path = line.substr(0, line.find(';'));
      if (path.size() > lzh::kMaxFileName) throw EQlntCompress(SArchivePathTooLong, {path});
    }
    ForceDirectories(ExtractFileDir(FCompressedFile));
    bool append = Cmd == lzcOnlyAdd && FileExists(FCompressedFile);
    try {
      archive = std::make_unique<TFileStream>(FCompressedFile, append ? (fmOpenReadWrite | fmShareDenyNone) : fmCreate);
    } catch (const EStreamError&) {
      throw EQlntCompress("Cannot create the file %s", {FCompressedFile});
    }
    FArchive = archive.get();
    if (append) {
      FFileHeaders->ReadHeaderInformation(archive.get(), 0);
      // Entries of a disk set lie on several volumes: one more appended to a
      // volume would be written over the data of the first.
      if (FFileHeaders->MultiPartition())
        throw EQlntCompress("Cannot add files to %s: it is a volume of a disk set", {FCompressedFile});
      FFileHeaders->CreateHeaderInformation(FFilesToProcess, true);
    } else {
      FFileHeaders->CreateHeaderInformation(FFilesToProcess, false);
    }
    AddEntries();
  });
}

void TQlntCompress::AddEntries() {
  // What the archive holds whole so far: on a failure it is cut back to this,
  // so an interrupted addition never leaves a count that claims lost entries.
  int whole = 0;
  while (whole < FFileHeaders->Count() && FFileHeaders->FileHeaders(whole)->ReadInfo) ++whole;
  int64_t wholeEnd = FArchive->Size();
  if (whole == 0) wholeEnd = static_cast<int64_t>(lzh::kStartSize);
  try {
    FFileHeaders->WriteHeaderInformation(FArchive);
    FArchive->Seek(0, soEnd);
    FFileHeaders->ProcessTotalStatistics(FFileStats);
    FFileStats.TotalPackedSize = 0;
    for (int i = 0; i < FFileHeaders->Count(); ++i) {
      TFileHeader* h = FFileHeaders->FileHeaders(i);
      if (h->ReadInfo) continue;
      AddEntry(h);
      whole = i + 1;
      wholeEnd = FArchive->Position();
    }
  } catch (...) {
    try {
      FArchive->SetSize(wholeEnd);
      uint8_t start[lzh::kStartSize];
      lzh::EncodeStart({whole, 0}, start);
      FArchive->Seek(0, soBeginning);
      FArchive->Write(start, sizeof start);
    } catch (...) {
    }
    // The list in memory describes the file as it now stands.
    FFileHeaders->DeleteFrom(whole);
    throw;
  }
}

void TQlntCompress::AddEntry(TFileHeader* Header) {
  FCurrentHeader = Header;
  Header->ProcessFileStatistics(FFileStats);
  FFileStats.IFPackedSize = 0;
  if (FOnBeforeAdding) FOnBeforeAdding(this, FFileStats);
  TPackedEntry packed;
  if (!TakePackedAhead(Header->Data, packed)) PackHere(Header->Data, packed);
  // The ratio of the whole stream, also its end that followed the last block.
  FFileStats.IFPackedSize = static_cast<int32_t>(packed.PackedBytes);
  FFileStats.IFRatio = Percentage(FFileStats.IFPackedSize, FFileStats.IFSize);
  FFileStats.Last = true;
  AddStatus(packed.SourceBytes, packed.PackedBytes);
  FFileStats.Last = false;
  WriteEntry(Header, *packed.Stream, packed.PackedBytes);
}

bool TQlntCompress::TakePackedAhead(const TlzhFileHeader& Entry, TPackedEntry& Packed) {
  // A stream deflated ahead on a worker thread is the same bytes this
  // thread would make; while it is not ready its progress is reported here.
  if (!FPackAhead) return false;
  TPackAhead::TResult ready;
  const bool taken = FPackAhead->Take(
      Entry.FileName, ZlibLevel(FCompressionLevel),
      [&](int64_t Read) {
        Packed.SourceBytes = Read;
        AddStatus(Read, Packed.PackedBytes);
      },
      ready);
  if (!taken) return false;
  Packed.Temp = ready.TempFile;
  Packed.Open(static_cast<HANDLE>(ready.TempHandle));
  // The source changed since its header was made: it is packed here.
  if (ready.SourceBytes != static_cast<int64_t>(static_cast<uint32_t>(Entry.NormalSize))) {
    Packed.RemoveTemp();
    return false;
  }
  Packed.SourceBytes = ready.SourceBytes;
  Packed.PackedBytes = ready.PackedBytes;
  return true;
}

void TQlntCompress::PackHere(const TlzhFileHeader& Entry, TPackedEntry& Packed) {
  try {
    Packed.Temp = MakeTempFileName(true);
  } catch (const Exception&) {
    throw EQlntCompress("Cannot create the file %s", {IncludeTrailingBackslash(TemporaryFolder()) + "bat*.tmp"});
  }
  THandleOwner src(OpenShared(Entry.FileName));
  if (!src.Valid()) throw EQlntCompress("Cannot open the file %s", {Entry.FileName});
  HANDLE temp = CreatePackTemp(Packed.Temp);
  if (temp == INVALID_HANDLE_VALUE) throw EQlntCompress("Cannot create the file %s", {Packed.Temp});
  Packed.Open(temp);
  TQlntNormalHandleStream source(reinterpret_cast<THandle>(src.Get()));
  TCountingStream counting(Packed.Stream.get(), &Packed.PackedBytes);
  TZCompressor c(&counting, ZlibLevel(FCompressionLevel));
  c.OnBlock = [&] { AddStatus(Packed.SourceBytes, Packed.PackedBytes); };
  c.OnShortWrite = [&] {
    FWriting = Packed.Temp;
    WritingFailed();
  };
  unsigned char* const in = InBuffer();
  for (;;) {
    int64_t n = source.Read(in, static_cast<int64_t>(kSourceChunk));
    if (n <= 0) break;
    Packed.SourceBytes += n;
    c.Write(in, static_cast<size_t>(n));
  }
  c.Finish();
}

void TQlntCompress::WriteEntry(TFileHeader* Header, TStream& Packed, int64_t PackedSize) {
  TlzhFileHeader& d = Header->Data;
  int64_t p = FArchive->Position();
  if (p + static_cast<int64_t>(lzh::kHeaderSize) + PackedSize > INT32_MAX)
    throw EQlntCompress("The compressed file %s would grow beyond 2 GB", {FCompressedFile});
  Header->WriteHeaderInformation(FArchive);
  d.StartOffset = static_cast<int32_t>(p + static_cast<int64_t>(lzh::kHeaderSize));
  Packed.Seek(0, soBeginning);
  unsigned char* const buf = OutBuffer();
  int64_t copied = 0;
  for (;;) {
    int64_t n = Packed.Read(buf, static_cast<int64_t>(kOutBufferSize));
    if (n <= 0) break;
    int64_t w = FArchive->Write(buf, n);
    if (w > 0) copied += w;
    if (w != n) break;
  }
  if (copied != PackedSize) {
    // Even when a handler returns, the entry is not whole: it must not stay.
    FWriting = FCompressedFile;
    WritingFailed();
  }
  FFileStats.TotalPackedSize += static_cast<int32_t>(PackedSize);
  int64_t end = FArchive->Position();
  d.EndOffset = static_cast<int32_t>(end - 1);
  d.NextHeaderOffset = static_cast<int32_t>(end);
  d.PackedSize = static_cast<int32_t>(PackedSize);
  FArchive->Seek(p, soBeginning);
  Header->WriteHeaderInformation(FArchive);
  FArchive->Seek(0, soEnd);
  FFileStats.IFHeader = d;
  if (FOnAfterAdding) FOnAfterAdding(this, FFileStats);
}

void TQlntCompress::AddStatus(int64_t SourcePos, int64_t PackedSize) {
  CheckAbort();
  PumpMessages();
  FFileStats.TotalBytesProcessed += static_cast<int32_t>(SourcePos - FFileStats.IFBytesProcessed - 1);
  FFileStats.IFBytesProcessed = static_cast<int32_t>(SourcePos - 1);
  FFileStats.IFPackedSize = static_cast<int32_t>(PackedSize);
  FFileStats.IFCompletion = Percentage(FFileStats.IFBytesProcessed, FFileStats.IFSize);
  FFileStats.TotalCompletion = Percentage(FFileStats.TotalBytesProcessed, FFileStats.TotalSize);
  Status();
}
