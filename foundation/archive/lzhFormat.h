// The byte layouts that cross between the distribution build, the setup
// program and the loader: the archive start, the 164-byte entry header and the
// 56-byte trailer of a self-extracting file. Serialised field by field,
// little-endian, never by casting a struct. Depends on the standard library
// only, so the loader can share it and it compiles natively for fuzzing.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace lzh {

constexpr size_t kStartSize = 5;
constexpr size_t kHeaderSize = 164;
constexpr size_t kTrailerSize = 56;
constexpr size_t kMaxFileName = 100;
constexpr size_t kMaxVersion = 20;
constexpr const char* kSelfExtractMarker = "SELFEXTRACTING";

int32_t GetI32(const uint8_t* p);
void PutI32(uint8_t* p, int32_t v);
double GetF64(const uint8_t* p);
void PutF64(uint8_t* p, double v);

// The 5 bytes an archive starts with.
struct TArchiveStart {
  int32_t Count = 0;
  uint8_t MultiPartition = 0;  // any nonzero value: a disk set
};
void EncodeStart(const TArchiveStart& s, uint8_t out[kStartSize]);
TArchiveStart DecodeStart(const uint8_t in[kStartSize]);

struct TlzhFileHeader {
  int32_t AddedOrder = 0;
  double Date = 0;
  uint8_t EndDisk = 0;
  std::array<uint8_t, 3> Pad1{};
  int32_t EndOffset = 0;
  std::string FileName;  // UTF-8 in memory; at most 100 bytes stored
  std::array<uint8_t, 3> Pad2{};
  int32_t NextHeaderOffset = 0;
  int32_t NormalSize = 0;
  int32_t StartOffset = 0;
  int32_t PackedSize = 0;
  uint8_t StartDisk = 0;
  std::string Version;  // at most 20 characters
  std::array<uint8_t, 2> Pad3{};
};

// Names and versions longer than their fields are cut, by whole characters;
// padding is written as it stands (zeros for a new header, carried for one
// that was read). Names are stored as UTF-8.
void EncodeHeader(const TlzhFileHeader& h, uint8_t out[kHeaderSize]);
std::string StoredNameToUtf8(const std::string& Stored);
// False when a length byte claims more characters than its field holds:
// such bytes are no header of ours. A stored name that is no valid UTF-8 was
// written in the Windows ANSI code page (the Windows 95/NT family did so) and
// is read in it.
bool DecodeHeader(const uint8_t in[kHeaderSize], TlzhFileHeader& h);

// The archive component's progress record, passed to every archive event:
// the current file and the whole operation.
struct TlzhFileStats {
  uint8_t IFCompletion = 0;
  int32_t IFBytesProcessed = 0;
  std::string IFName;
  int32_t IFPackedSize = 0;
  uint8_t IFRatio = 0;
  int32_t IFSize = 0;
  TlzhFileHeader IFHeader;
  bool Last = false;
  uint8_t TotalCompletion = 0;
  int32_t TotalBytesProcessed = 0;
  int32_t TotalPackedSize = 0;
  uint8_t TotalRatio = 0;
  int32_t TotalSize = 0;
};

struct TSelfExtractInfo {
  uint8_t MarkerLength = 0;
  std::array<char, 14> Marker{};
  int32_t Setup1StartOffset = 0;
  int32_t Setup1EndOffset = 0;
  int32_t Files1StartOffset = 0;
  int32_t Files1EndOffset = 0;
};
// A trailer with the marker set, the reserved bytes zero.
TSelfExtractInfo MakeSelfExtractInfo(int32_t Setup1Start, int32_t Setup1End, int32_t Files1Start, int32_t Files1End);
void EncodeTrailer(const TSelfExtractInfo& t, uint8_t out[kTrailerSize]);
TSelfExtractInfo DecodeTrailer(const uint8_t in[kTrailerSize]);
// True only for the exact marker: length 14 and the same 14 characters, case included.
bool IsSelfExtracting(const TSelfExtractInfo& t);

// Whether a trailer's offsets can describe a self-extracting file of FileSize
// bytes: setup.1 with 0 < start <= end < FileSize - 56, and files.1 either
// absent (both 0) or the same way inside the file, after setup.1.
bool TrailerFits(const TSelfExtractInfo& t, int64_t FileSize);

// One record of filelist.lst: what the build found of an install file.
constexpr size_t kFilePropInfoSize = 72;
constexpr size_t kFilePropNameField = 40;     // room for 39 characters and a zero
constexpr size_t kFilePropVersionField = 20;  // room for 19 characters and a zero
struct TFilePropInfo {
  int32_t Size = 0;
  double Date = 0;
  std::string szName;
  std::string szVersion;
};
// Whether a name and a version fit their fields with the terminating zero.
// Longer ones would be cut and then match no file, or another file.
bool FilePropInfoFits(const std::string& Name, const std::string& Version);
// False (nothing written) when the name or the version does not fit.
bool EncodeFilePropInfo(const TFilePropInfo& r, uint8_t out[kFilePropInfoSize]);
// Name and version are the texts up to the first zero of their fields.
TFilePropInfo DecodeFilePropInfo(const uint8_t in[kFilePropInfoSize]);

// filelist.lst: a signed 32-bit count, then that many records. Read asks for
// up to Count bytes and returns how many came (0 at the end); records are
// read and handed to Take one at a time, so a damaged count costs no memory.
// FileSize, when not negative, bounds the count beforehand.
enum class TFileListResult { Ok, ShortCount, BadCount, ShortRecord };
TFileListResult ReadFileList(const std::function<size_t(uint8_t*, size_t)>& Read, int64_t FileSize,
                             const std::function<void(const TFilePropInfo&)>& Take);
// The count and the records, as the build writes the file; std::length_error
// (with the record's name) for a record that does not fit. The build checks
// with FilePropInfoFits first, to name the component.
std::string WriteFileList(const std::vector<TFilePropInfo>& Records);

// Volume N of a disk set: volume 1's name with its extension replaced by "."
// and N ("files.1" -> "files.12").
std::string VolumeName(const std::string& FirstVolume, int N);

}  // namespace lzh

namespace lzh {
// Whether an entry's stored positions can describe data of an archive: sizes
// not negative, start not after end, and for a single volume (read at Offset
// inside a file of FirstVolumeSize bytes) the data inside the file; for a
// disk set volumes counted from 1, the first not after the last.
bool EntryFits(const TlzhFileHeader& H, bool MultiPartition, int64_t Offset, int64_t FirstVolumeSize);

// Why an entry does not fit: Cut when its positions would fit a longer file
// (the archive's bytes end before its data do: a transfer or copy that
// stopped early), Damaged when no archive has such positions.
enum class TEntryCheck { Fits, Cut, Damaged };
TEntryCheck CheckEntry(const TlzhFileHeader& H, bool MultiPartition, int64_t Offset, int64_t FirstVolumeSize);
}  // namespace lzh
