#include <gtest/gtest.h>

#include <cstring>

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
