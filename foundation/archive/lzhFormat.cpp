#include "foundation/archive/lzhFormat.h"

#include <cstdint>
#include <cstring>
#include <stdexcept>

#include "classlib/base/TextBase.h"

namespace lzh {

int32_t GetI32(const uint8_t* p) {
  uint32_t v = static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
               (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
  return static_cast<int32_t>(v);
}

void PutI32(uint8_t* p, int32_t v) {
  uint32_t u = static_cast<uint32_t>(v);
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(u >> (8 * i));
}

double GetF64(const uint8_t* p) {
  uint64_t u = 0;
  for (int i = 7; i >= 0; --i) u = (u << 8) | p[i];
  double d;
  std::memcpy(&d, &u, sizeof d);
  return d;
}

void PutF64(uint8_t* p, double v) {
  uint64_t u;
  std::memcpy(&u, &v, sizeof u);
  for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(u >> (8 * i));
}

void EncodeStart(const TArchiveStart& s, uint8_t out[kStartSize]) {
  PutI32(out, s.Count);
  out[4] = s.MultiPartition;
}

TArchiveStart DecodeStart(const uint8_t in[kStartSize]) { return {GetI32(in), in[4]}; }

namespace {
void PutShortString(uint8_t* p, const std::string& text, size_t max) {
  // A text too long for its field loses whole characters, never part of one.
  const std::string s = qbase::CutBytes(text, max);
  size_t n = s.size();
  p[0] = static_cast<uint8_t>(n);
  std::memcpy(p + 1, s.data(), n);
  std::memset(p + 1 + n, 0, max - n);
}

bool GetShortString(const uint8_t* p, size_t max, std::string& s) {
  if (p[0] > max) return false;
  s.assign(reinterpret_cast<const char*>(p + 1), p[0]);
  return true;
}
}  // namespace

std::string StoredNameToUtf8(const std::string& Stored) {
  return qbase::IsValidUtf8(Stored) ? Stored : qbase::AnsiToUtf8(Stored);
}

void EncodeHeader(const TlzhFileHeader& h, uint8_t out[kHeaderSize]) {
  PutI32(out + 0, h.AddedOrder);
  PutF64(out + 4, h.Date);
  out[12] = h.EndDisk;
  std::memcpy(out + 13, h.Pad1.data(), 3);
  PutI32(out + 16, h.EndOffset);
  PutShortString(out + 20, h.FileName, kMaxFileName);
  std::memcpy(out + 121, h.Pad2.data(), 3);
  PutI32(out + 124, h.NextHeaderOffset);
  PutI32(out + 128, h.NormalSize);
  PutI32(out + 132, h.StartOffset);
  PutI32(out + 136, h.PackedSize);
  out[140] = h.StartDisk;
  PutShortString(out + 141, h.Version, kMaxVersion);
  std::memcpy(out + 162, h.Pad3.data(), 2);
}

bool DecodeHeader(const uint8_t in[kHeaderSize], TlzhFileHeader& h) {
  TlzhFileHeader r;
  r.AddedOrder = GetI32(in + 0);
  r.Date = GetF64(in + 4);
  r.EndDisk = in[12];
  std::memcpy(r.Pad1.data(), in + 13, 3);
  r.EndOffset = GetI32(in + 16);
  if (!GetShortString(in + 20, kMaxFileName, r.FileName)) return false;
  r.FileName = StoredNameToUtf8(r.FileName);
  std::memcpy(r.Pad2.data(), in + 121, 3);
  r.NextHeaderOffset = GetI32(in + 124);
  r.NormalSize = GetI32(in + 128);
  r.StartOffset = GetI32(in + 132);
  r.PackedSize = GetI32(in + 136);
  r.StartDisk = in[140];
  if (!GetShortString(in + 141, kMaxVersion, r.Version)) return false;
  std::memcpy(r.Pad3.data(), in + 162, 2);
  h = std::move(r);
  return true;
}

TSelfExtractInfo MakeSelfExtractInfo(int32_t Setup1Start, int32_t Setup1End, int32_t Files1Start, int32_t Files1End) {
  TSelfExtractInfo t;
  t.MarkerLength = 14;
  std::memcpy(t.Marker.data(), kSelfExtractMarker, 14);
  t.Setup1StartOffset = Setup1Start;
  t.Setup1EndOffset = Setup1End;
  t.Files1StartOffset = Files1Start;
  t.Files1EndOffset = Files1End;
  return t;
}

void EncodeTrailer(const TSelfExtractInfo& t, uint8_t out[kTrailerSize]) {
  std::memset(out, 0, kTrailerSize);
  out[0] = t.MarkerLength;
  std::memcpy(out + 1, t.Marker.data(), 14);
  PutI32(out + 16, t.Setup1StartOffset);
  PutI32(out + 20, t.Setup1EndOffset);
  PutI32(out + 24, t.Files1StartOffset);
  PutI32(out + 28, t.Files1EndOffset);
}

TSelfExtractInfo DecodeTrailer(const uint8_t in[kTrailerSize]) {
  TSelfExtractInfo t;
  t.MarkerLength = in[0];
  std::memcpy(t.Marker.data(), in + 1, 14);
  t.Setup1StartOffset = GetI32(in + 16);
  t.Setup1EndOffset = GetI32(in + 20);
  t.Files1StartOffset = GetI32(in + 24);
  t.Files1EndOffset = GetI32(in + 28);
  return t;
}

bool IsSelfExtracting(const TSelfExtractInfo& t) {
  return t.MarkerLength == 14 && std::memcmp(t.Marker.data(), kSelfExtractMarker, 14) == 0;
}

bool TrailerFits(const TSelfExtractInfo& t, int64_t FileSize) {
  const int64_t limit = FileSize - static_cast<int64_t>(kTrailerSize);
  auto inside = [limit](int64_t start, int64_t end) { return 0 < start && start <= end && end < limit; };
  if (!inside(t.Setup1StartOffset, t.Setup1EndOffset)) return false;
  if (t.Files1StartOffset == 0 && t.Files1EndOffset == 0) return true;
  return inside(t.Files1StartOffset, t.Files1EndOffset) && t.Files1StartOffset > t.Setup1EndOffset;
}

namespace {
std::string ZeroTerminated(const uint8_t* p, size_t field) {
  size_t n = 0;
  while (n < field && p[n] != 0) ++n;
  return std::string(reinterpret_cast<const char*>(p), n);
}
}  // namespace

bool FilePropInfoFits(const std::string& Name, const std::string& Version) {
  return Name.size() < kFilePropNameField && Version.size() < kFilePropVersionField &&
         Name.find('\0') == std::string::npos && Version.find('\0') == std::string::npos;
}

bool EncodeFilePropInfo(const TFilePropInfo& r, uint8_t out[kFilePropInfoSize]) {
  if (!FilePropInfoFits(r.szName, r.szVersion)) return false;
  std::memset(out, 0, kFilePropInfoSize);
  PutI32(out + 0, r.Size);
  PutF64(out + 4, r.Date);
  std::memcpy(out + 12, r.szName.data(), r.szName.size());
  std::memcpy(out + 12 + kFilePropNameField, r.szVersion.data(), r.szVersion.size());
  return true;
}

TFilePropInfo DecodeFilePropInfo(const uint8_t in[kFilePropInfoSize]) {
  TFilePropInfo r;
  r.Size = GetI32(in + 0);
  r.Date = GetF64(in + 4);
  r.szName = ZeroTerminated(in + 12, kFilePropNameField);
  r.szVersion = ZeroTerminated(in + 12 + kFilePropNameField, kFilePropVersionField);
  return r;
}

namespace {
bool ReadFull(const std::function<size_t(uint8_t*, size_t)>& Read, uint8_t* p, size_t n) {
  size_t got = 0;
  while (got < n) {
    size_t m = Read(p + got, n - got);
    if (m == 0) return false;
    got += m;
  }
  return true;
}
}  // namespace

TFileListResult ReadFileList(const std::function<size_t(uint8_t*, size_t)>& Read, int64_t FileSize,
                             const std::function<void(const TFilePropInfo&)>& Take) {
  uint8_t head[4];
  if (!ReadFull(Read, head, sizeof head)) return TFileListResult::ShortCount;
  const int32_t count = GetI32(head);
  if (count < 0) return TFileListResult::BadCount;
  if (FileSize >= 0 && static_cast<int64_t>(count) > (FileSize - 4) / static_cast<int64_t>(kFilePropInfoSize))
    return TFileListResult::BadCount;
  uint8_t rec[kFilePropInfoSize];
  for (int32_t i = 0; i < count; ++i) {
    if (!ReadFull(Read, rec, sizeof rec)) return TFileListResult::ShortRecord;
    Take(DecodeFilePropInfo(rec));
  }
  return TFileListResult::Ok;
}

std::string WriteFileList(const std::vector<TFilePropInfo>& Records) {
  std::string out(4 + Records.size() * kFilePropInfoSize, '\0');
  auto* p = reinterpret_cast<uint8_t*>(out.data());
  PutI32(p, static_cast<int32_t>(Records.size()));
  for (size_t i = 0; i < Records.size(); ++i)
    if (!EncodeFilePropInfo(Records[i], p + 4 + i * kFilePropInfoSize))
      throw std::length_error(Records[i].szName);
  return out;
}

std::string VolumeName(const std::string& FirstVolume, int N) {
  size_t dot = FirstVolume.find_last_of(".\\:");
  std::string base = (dot != std::string::npos && FirstVolume[dot] == '.') ? FirstVolume.substr(0, dot) : FirstVolume;
  return base + "." + std::to_string(N);
}

}  // namespace lzh

namespace lzh {

bool EntryFits(const TlzhFileHeader& H, bool MultiPartition, int64_t Offset, int64_t FirstVolumeSize) {
  if (H.NormalSize < 0 || H.PackedSize < 0 || H.StartOffset < 0 || H.EndOffset < -1) return false;
  if (!MultiPartition) {
    // Single volume: the entry lies inside the archive file, start before end.
    if (H.EndOffset < H.StartOffset - 1 || H.StartDisk != H.EndDisk) return false;
    return Offset + static_cast<int64_t>(H.EndOffset) < FirstVolumeSize &&
           Offset + static_cast<int64_t>(H.StartOffset) <= FirstVolumeSize;
  }
  if (H.StartDisk < 1 || H.EndDisk < H.StartDisk) return false;
  if (H.StartDisk == H.EndDisk && H.EndOffset < H.StartOffset - 1) return false;
  // What lies on the first volume lies inside it; a volume holds nothing
  // after its data, so an entry that goes on to the next one starts in it.
  if (H.StartDisk == 1 && static_cast<int64_t>(H.StartOffset) > FirstVolumeSize) return false;
  return H.EndDisk != 1 || static_cast<int64_t>(H.EndOffset) < FirstVolumeSize;
}

TEntryCheck CheckEntry(const TlzhFileHeader& H, bool MultiPartition, int64_t Offset, int64_t FirstVolumeSize) {
  if (EntryFits(H, MultiPartition, Offset, FirstVolumeSize)) return TEntryCheck::Fits;
  return EntryFits(H, MultiPartition, Offset, INT64_MAX) ? TEntryCheck::Cut : TEntryCheck::Damaged;
}

}  // namespace lzh
