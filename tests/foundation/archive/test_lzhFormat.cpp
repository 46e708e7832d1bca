#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "foundation/archive/lzhFormat.h"

using namespace lzh;

TEST(ArchiveLayout, HeaderFieldsAtTheirOffsetsLittleEndian) {
  TlzhFileHeader h;
  h.AddedOrder = 2;
  h.Date = 36000.5;
  h.EndDisk = 2;
  h.EndOffset = 332;
  h.FileName = "C:\\SRC\\A.DLL";
  h.NextHeaderOffset = 333;
  h.NormalSize = 0x01020304;
  h.StartOffset = 333;
  h.PackedSize = 500;
  h.StartDisk = 1;
  h.Version = "4.0.950.1";
  uint8_t b[kHeaderSize];
  std::memset(b, 0xEE, sizeof b);
  EncodeHeader(h, b);
  EXPECT_EQ(b[0], 2);
  EXPECT_EQ(b[12], 2);
  EXPECT_EQ(b[13], 0);  // padding of a new header is zero
  EXPECT_EQ(GetI32(b + 16), 332);
  EXPECT_EQ(b[20], 12);
  EXPECT_EQ(std::memcmp(b + 21, "C:\\SRC\\A.DLL", 12), 0);
  EXPECT_EQ(b[21 + 12], 0);  // unused tail of the name is zero
  EXPECT_EQ(b[120], 0);
  EXPECT_EQ(GetI32(b + 124), 333);
  EXPECT_EQ(b[128], 0x04);
  EXPECT_EQ(b[131], 0x01);
  EXPECT_EQ(GetI32(b + 132), 333);
  EXPECT_EQ(GetI32(b + 136), 500);
  EXPECT_EQ(b[140], 1);
  EXPECT_EQ(b[141], 9);
  EXPECT_EQ(GetF64(b + 4), 36000.5);
  TlzhFileHeader r;
  ASSERT_TRUE(DecodeHeader(b, r));
  EXPECT_EQ(r.FileName, h.FileName);
  EXPECT_EQ(r.Version, h.Version);
  EXPECT_EQ(r.PackedSize, 500);
  EXPECT_EQ(r.Date, 36000.5);
}

TEST(ArchiveLayout, LongNamesAndVersionsAreCutPaddingIsCarried) {
  TlzhFileHeader h;
  h.FileName = std::string(130, 'n');
  h.Version = "65535.65535.65535.65535";
  uint8_t b[kHeaderSize];
  EncodeHeader(h, b);
  TlzhFileHeader r;
  ASSERT_TRUE(DecodeHeader(b, r));
  EXPECT_EQ(r.FileName.size(), 100u);
  EXPECT_EQ(r.Version, "65535.65535.65535.65");
  b[14] = 0x5A;
  b[163] = 0x77;
  ASSERT_TRUE(DecodeHeader(b, r));
  uint8_t again[kHeaderSize];
  EncodeHeader(r, again);
  EXPECT_EQ(std::memcmp(b, again, kHeaderSize), 0);
}

// The 100-byte field takes whole characters only; a name that is no UTF-8
// is read in the ANSI code page (e-acute is 0xE9 there).
TEST(ArchiveLayout, StoredNamesAreWholeCharactersAndAnsiNamesAreDecoded) {
  TlzhFileHeader h;
  h.FileName = std::string(99, 'n') + "\xC3\xA9";
  uint8_t b[kHeaderSize];
  EncodeHeader(h, b);
  TlzhFileHeader r;
  ASSERT_TRUE(DecodeHeader(b, r));
  EXPECT_EQ(r.FileName, std::string(99, 'n'));
  h.FileName = "caf\xE9.txt";
  EncodeHeader(h, b);
  ASSERT_TRUE(DecodeHeader(b, r));
  EXPECT_EQ(r.FileName, "caf\xC3\xA9.txt");
  h.FileName = "caf\xC3\xA9.txt";
  EncodeHeader(h, b);
  ASSERT_TRUE(DecodeHeader(b, r));
  EXPECT_EQ(r.FileName, "caf\xC3\xA9.txt");
}

TEST(ArchiveLayout, LengthBytesBeyondTheirFieldAreRefused) {
  uint8_t b[kHeaderSize] = {};
  TlzhFileHeader r;
  b[20] = 101;
  EXPECT_FALSE(DecodeHeader(b, r));
  b[20] = 100;
  EXPECT_TRUE(DecodeHeader(b, r));
  b[141] = 21;
  EXPECT_FALSE(DecodeHeader(b, r));
}

TEST(ArchiveLayout, StartAndTrailer) {
  uint8_t s[kStartSize];
  EncodeStart({2, 1}, s);
  EXPECT_EQ(GetI32(s), 2);
  EXPECT_EQ(s[4], 1);
  EXPECT_EQ(DecodeStart(s).Count, 2);

  uint8_t t[kTrailerSize];
  EncodeTrailer(MakeSelfExtractInfo(40000, 41832, 41833, 90000), t);
  EXPECT_EQ(t[0], 14);
  EXPECT_EQ(std::memcmp(t + 1, "SELFEXTRACTING", 14), 0);
  EXPECT_EQ(t[15], 0);
  EXPECT_EQ(GetI32(t + 16), 40000);
  EXPECT_EQ(GetI32(t + 28), 90000);
  for (size_t i = 32; i < kTrailerSize; ++i) EXPECT_EQ(t[i], 0);
  TSelfExtractInfo d = DecodeTrailer(t);
  EXPECT_TRUE(IsSelfExtracting(d));
  EXPECT_EQ(d.Setup1EndOffset, 41832);
  t[5] = 'e';  // the marker is compared with case
  EXPECT_FALSE(IsSelfExtracting(DecodeTrailer(t)));
  t[5] = 'E';
  t[0] = 13;
  EXPECT_FALSE(IsSelfExtracting(DecodeTrailer(t)));
}

TEST(ArchiveLayout, VolumeNames) {
  EXPECT_EQ(VolumeName("A:\\files.1", 12), "A:\\files.12");
  EXPECT_EQ(VolumeName("C:\\d.x\\files", 2), "C:\\d.x\\files.2");
  EXPECT_EQ(VolumeName("setup.1", 1), "setup.1");
}

TEST(ArchiveLayout, TrailerOffsetsMustLieBeforeTheTrailer) {
  struct Case {
    int32_t s1, e1, f1, g1;
    bool fits;
  } cases[] = {
      {100, 899, 0, 0, true},      // no files.1
      {100, 899, 900, 943, true},  // files.1 ends on the byte before the trailer
      {100, 899, 900, 944, false}, // files.1 runs into the trailer
      {100, 944, 0, 0, false},     // setup.1 runs into the trailer
      {0, 899, 0, 0, false},       // no loader image before setup.1
      {-5, 899, 0, 0, false},
      {500, 400, 0, 0, false},
      {100, 899, 0, 943, false},   // half of an absent files.1
      {100, 899, 800, 943, false}, // files.1 over setup.1
  };
  for (const auto& c : cases)
    EXPECT_EQ(TrailerFits(MakeSelfExtractInfo(c.s1, c.e1, c.f1, c.g1), 1000), c.fits)
        << c.s1 << " " << c.e1 << " " << c.f1 << " " << c.g1;
  EXPECT_FALSE(TrailerFits(MakeSelfExtractInfo(1, 1, 0, 0), 40));  // a file smaller than a trailer
}

namespace {
struct TListRead {
  TFileListResult Result;
  std::vector<TFilePropInfo> Records;
};
TListRead ReadList(const std::string& Bytes, bool KnowSize = true) {
  size_t pos = 0;
  TListRead r;
  r.Result = ReadFileList(
      [&](uint8_t* p, size_t n) {
        size_t m = std::min(n, Bytes.size() - pos);
        std::memcpy(p, Bytes.data() + pos, m);
        pos += m;
        return m;
      },
      KnowSize ? static_cast<int64_t>(Bytes.size()) : -1, [&](const TFilePropInfo& i) { r.Records.push_back(i); });
  return r;
}
}  // namespace

TEST(FileListLayout, GoldenBytes) {
  TFilePropInfo a{0x01020304, 36000.5, "MainProgram", "1.2.3.4"};
  TFilePropInfo b{7, 0, std::string(39, 'n'), std::string(19, 'v')};
  std::string bytes = WriteFileList({a, b});
  ASSERT_EQ(bytes.size(), 4u + 2 * 72);
  const char golden[] =
      "\x02\x00\x00\x00"                  // count
      "\x04\x03\x02\x01"                  // size
      "\x00\x00\x00\x00\x10\x94\xe1\x40"  // 36000.5 as an IEEE double
      "MainProgram";
  ASSERT_EQ(bytes.compare(0, sizeof golden - 1, golden, sizeof golden - 1), 0);
  EXPECT_EQ(bytes.substr(4 + 12 + 11, 29), std::string(29, '\0'));
  EXPECT_EQ(bytes.substr(4 + 52, 20), std::string("1.2.3.4") + std::string(13, '\0'));
  EXPECT_EQ(bytes[4 + 72 + 12 + 39], '\0');  // 39 characters keep their zero
  auto r = ReadList(bytes);
  ASSERT_EQ(r.Result, TFileListResult::Ok);
  ASSERT_EQ(r.Records.size(), 2u);
  EXPECT_EQ(r.Records[0].Size, a.Size);
  EXPECT_EQ(r.Records[0].Date, a.Date);
  EXPECT_EQ(r.Records[0].szName, a.szName);
  EXPECT_EQ(r.Records[0].szVersion, a.szVersion);
  EXPECT_EQ(r.Records[1].szName, b.szName);
  EXPECT_EQ(r.Records[1].szVersion, b.szVersion);
}

TEST(FileListLayout, NamesAndVersionsThatCannotFitAreRefused) {
  EXPECT_TRUE(FilePropInfoFits(std::string(39, 'n'), std::string(19, 'v')));
  EXPECT_FALSE(FilePropInfoFits(std::string(40, 'n'), ""));
  EXPECT_FALSE(FilePropInfoFits("a", std::string(20, 'v')));
  uint8_t rec[kFilePropInfoSize];
  EXPECT_FALSE(EncodeFilePropInfo({1, 0, std::string(40, 'n'), ""}, rec));
  EXPECT_THROW(WriteFileList({{1, 0, std::string(40, 'n'), ""}}), std::length_error);
  // A stored record whose fields are full to the last byte still reads, cut at its field.
  std::memset(rec, 'x', sizeof rec);
  TFilePropInfo r = DecodeFilePropInfo(rec);
  EXPECT_EQ(r.szName.size(), 40u);
  EXPECT_EQ(r.szVersion.size(), 20u);
}

TEST(FileListLayout, DamagedListsAreErrors) {
  std::string one = WriteFileList({{1, 0, "A", "1"}});
  std::string more = one;
  PutI32(reinterpret_cast<uint8_t*>(more.data()), 2);  // count larger than the records
  std::string negative = one;
  PutI32(reinterpret_cast<uint8_t*>(negative.data()), -1);
  std::string huge = one;
  PutI32(reinterpret_cast<uint8_t*>(huge.data()), 0x7fffffff);
  EXPECT_EQ(ReadList(more).Result, TFileListResult::BadCount);
  EXPECT_EQ(ReadList(more, false).Result, TFileListResult::ShortRecord);
  EXPECT_EQ(ReadList(more, false).Records.size(), 1u);
  EXPECT_EQ(ReadList(negative).Result, TFileListResult::BadCount);
  EXPECT_EQ(ReadList(huge).Result, TFileListResult::BadCount);
  EXPECT_EQ(ReadList(huge, false).Result, TFileListResult::ShortRecord);
  EXPECT_EQ(ReadList("\x01\x00").Result, TFileListResult::ShortCount);
  EXPECT_EQ(ReadList(one.substr(0, one.size() - 1), false).Result, TFileListResult::ShortRecord);
  EXPECT_EQ(ReadList(WriteFileList({})).Result, TFileListResult::Ok);
}
