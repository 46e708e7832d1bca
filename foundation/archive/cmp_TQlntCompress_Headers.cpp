// The header list of an archive and the statistics helpers: standard library
// and class-library streams only, so the reading of outside bytes compiles
// natively and runs under the sanitizers and the fuzzer.
#include <algorithm>
#include <climits>
#include <cmath>
#include <memory>

#include "foundation/archive/cmp_TQlntCompress.h"
#include "foundation/exceptions_Quillant.h"

namespace {
const char* const kCorrupt =
    "Could not read the file headers for the compressed file. The Archive file could possible be corrupt";
const char* const kWriteFailed = "Could not write the file headers for the compressed file";

std::string FirstField(const std::string& Line) {
  size_t p = Line.find(';');
  return p == std::string::npos ? Line : Line.substr(0, p);
}
}  // namespace

uint8_t Percentage(double Part, double Whole) {
  if (Whole == 0 || !std::isfinite(Part / Whole)) return 0;
  double v = std::nearbyint(Part / Whole * 100.0);  // the default rounding: half to even
  if (!(v > -2147483648.0 && v < 2147483648.0)) return 0;
  return static_cast<uint8_t>(static_cast<int64_t>(v) & 0xFF);
}

// ------------------------------------------------------------ TFileHeader

bool TFileHeader::Valid() const { return !Trim(Data.FileName).empty(); }

void TFileHeader::ReadHeaderInformation(TStream* Stream) {
  uint8_t b[lzh::kHeaderSize];
  if (Stream->Read(b, sizeof b) != static_cast<int64_t>(sizeof b)) throw EQlntCompress(kCorrupt);
  // A length byte beyond its field is no header of ours.
  if (!lzh::DecodeHeader(b, Data)) throw EQlntCompress(kCorrupt);
  ReadInfo = true;
}

void TFileHeader::WriteHeaderInformation(TStream* Stream) {
  uint8_t b[lzh::kHeaderSize];
  lzh::EncodeHeader(Data, b);
  if (Stream->Write(b, sizeof b) != static_cast<int64_t>(sizeof b)) throw EQlntCompress(kWriteFailed);
}

void TFileHeader::ProcessFileStatistics(TlzhFileStats& FileStats) const {
  FileStats.IFName = Data.FileName;
  FileStats.IFSize = Data.NormalSize;
  FileStats.IFBytesProcessed = 0;
  FileStats.IFCompletion = 0;
  FileStats.IFPackedSize = Data.PackedSize;
  FileStats.Last = false;
  FileStats.IFRatio = Percentage(Data.PackedSize, Data.NormalSize);
  FileStats.IFHeader = Data;
}

// ------------------------------------------------------------ TFileHeaders

TFileHeaders::~TFileHeaders() { Clear(); }

TFileHeader* TFileHeaders::FileHeaders(int I) const {
  if (I < 0 || I >= Count())
    throw EQlntCompress("%d is an invalid TFileHeader index in TFileHeaders.GetFileHeaders", {I});
  return FList[static_cast<size_t>(I)];
}

void TFileHeaders::AddFileHeader(TFileHeader* NewFileHeader) {
  if (!NewFileHeader->Valid()) throw EQlntCompress("Tried to add an invalid file header");
  FList.push_back(NewFileHeader);
}

void TFileHeaders::Clear() {
  for (TFileHeader* h : FList) delete h;
  FList.clear();
}

void TFileHeaders::DeleteFrom(int Index) {
  while (Count() > std::max(Index, 0)) {
    delete FList.back();
    FList.pop_back();
  }
}

int TFileHeaders::IndexOf(const std::string& FileName) const {
  std::string key = FirstField(FileName);
  for (size_t i = 0; i < FList.size(); ++i)
    if (SameText(FList[i]->Data.FileName, key)) return static_cast<int>(i);
  return -1;
}

void TFileHeaders::ReadHeaderInformation(TStream* Stream, int32_t Offset, int64_t End) {
  Clear();
  FEndedEarly = false;
  uint8_t start[lzh::kStartSize];
  if (Offset < 0 || Stream->Seek(Offset, soBeginning) != Offset ||
      Stream->Read(start, sizeof start) != static_cast<int64_t>(sizeof start)) {
    FEndedEarly = Offset >= 0;
    throw EQlntCompress("Could not read the file header count for the compressed file");
  }
  lzh::TArchiveStart s = lzh::DecodeStart(start);
  FMultiPartition = s.MultiPartition != 0;
  int64_t size = Stream->Size();
  if (End >= 0 && End < size) size = End;
  int64_t next = static_cast<int64_t>(Offset) + static_cast<int64_t>(lzh::kStartSize);
  // A count that no archive's positions could hold is no count of ours. A
  // count the file cannot hold fails at the first missing header (only the
  // headers present are read): a cut-off archive, or a damaged count.
  const int64_t anyRoom = (static_cast<int64_t>(INT32_MAX) - static_cast<int64_t>(lzh::kStartSize)) /
                          static_cast<int64_t>(lzh::kHeaderSize);
  if (s.Count > anyRoom) throw EQlntCompress(kCorrupt);
  // Where the writer puts the next header: after the data of the one before
  // (one volume), or right after it (a disk set).
  int64_t expected = next;
  for (int32_t i = 0; i < s.Count; ++i) {
    // A header past the archive's end is no header of it, whatever follows;
    // where the one before says it stands, the archive was cut off there.
    if (next > size - static_cast<int64_t>(lzh::kHeaderSize) || Stream->Seek(next, soBeginning) != next) {
      FEndedEarly = next == expected;
      throw EQlntCompress(kCorrupt);
    }
    auto h = std::make_unique<TFileHeader>();
    h->ReadHeaderInformation(Stream);
    int64_t following = static_cast<int64_t>(Offset) + h->Data.NextHeaderOffset;
    // Every header lies behind the one before: a chain that turns back
    // would never end.
    if (i + 1 < s.Count && following < next + static_cast<int64_t>(lzh::kHeaderSize))
      throw EQlntCompress(kCorrupt);
    expected = FMultiPartition ? next + static_cast<int64_t>(lzh::kHeaderSize)
                               : static_cast<int64_t>(Offset) + h->Data.EndOffset + 1;
    next = following;
    AddFileHeader(h.get());
    h.release();  // the list owns it now
  }
}

int TFileHeaders::FirstUnfit(int64_t Offset, int64_t End, lzh::TEntryCheck& Why) const {
  for (size_t i = 0; i < FList.size(); ++i) {
    Why = lzh::CheckEntry(FList[i]->Data, FMultiPartition, Offset, End);
    if (Why != lzh::TEntryCheck::Fits) return static_cast<int>(i);
  }
  Why = lzh::TEntryCheck::Fits;
  return -1;
}

void TFileHeaders::WriteHeaderInformation(TStream* Stream) {
  uint8_t start[lzh::kStartSize];
  lzh::EncodeStart({Count(), static_cast<uint8_t>(FMultiPartition ? 1 : 0)}, start);
  if (Stream->Seek(0, soBeginning) != 0 || Stream->Write(start, sizeof start) != static_cast<int64_t>(sizeof start))
    throw EQlntCompress(kWriteFailed);
  if (!FMultiPartition) return;
  for (TFileHeader* h : FList) {
    h->Data.NextHeaderOffset = static_cast<int32_t>(Stream->Position() + static_cast<int64_t>(lzh::kHeaderSize));
    h->WriteHeaderInformation(Stream);
  }
}

void TFileHeaders::ProcessDecompressSize(TlzhFileStats& FileStats) const {
  int64_t packed = 0, normal = 0;
  for (TFileHeader* h : FList) {
    packed += h->Data.PackedSize;
    normal += h->Data.NormalSize;
  }
  FileStats.TotalPackedSize = static_cast<int32_t>(packed);
  FileStats.TotalSize = static_cast<int32_t>(normal);
}

void TFileHeaders::ProcessTotalStatistics(TlzhFileStats& FileStats) const {
  FileStats.TotalBytesProcessed = 0;
  FileStats.TotalCompletion = 0;
  FileStats.Last = false;
  ProcessDecompressSize(FileStats);
  FileStats.TotalRatio = Percentage(FileStats.TotalPackedSize, FileStats.TotalSize);
}
