// The header list read from bytes that may be anything, the statistics
// arithmetic and the zlib layer; runs natively under the sanitizers too.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <functional>
#include <vector>

#include "foundation/archive/cmp_TQlntCompress.h"
#include "foundation/exceptions_Quillant.h"

namespace {

const char* const kCorrupt =
    "Could not read the file headers for the compressed file. The Archive file could possible be corrupt";

// An archive image: start, then each header followed by Data bytes of data.
std::vector<uint8_t> Image(int32_t Count, uint8_t Flag, std::vector<lzh::TlzhFileHeader> Headers, int Data = 10) {
  std::vector<uint8_t> b(lzh::kStartSize);
  lzh::EncodeStart({Count, Flag}, b.data());
  for (auto& h : Headers) {
    size_t p = b.size();
    h.StartOffset = static_cast<int32_t>(p + lzh::kHeaderSize);
    h.EndOffset = h.StartOffset + Data - 1;
    h.NextHeaderOffset = h.EndOffset + 1;
    b.resize(p + lzh::kHeaderSize + static_cast<size_t>(Data));
    lzh::EncodeHeader(h, b.data() + p);
  }
  return b;
}

lzh::TlzhFileHeader Named(const std::string& n) {
  lzh::TlzhFileHeader h;
  h.FileName = n;
  return h;
}

void Load(TMemoryStream& s, const std::vector<uint8_t>& b, size_t at = 0) {
  std::vector<uint8_t> all(at, 0xAB);
  all.insert(all.end(), b.begin(), b.end());
  s.Write(all.data(), static_cast<int64_t>(all.size()));
}

std::string MessageOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const EQlntCompress& e) {
    return e.Message;
  }
  return "<nothing raised>";
}

}  // namespace

TEST(HeaderList, ReadsChainAtAnOffsetAndFindsNamesWithoutCase) {
  TMemoryStream s;
  Load(s, Image(2, 0, {Named("c:\\src\\a.dll"), Named("c:\\src\\b.dll")}), 40000);
  TFileHeaders list;
  list.ReadHeaderInformation(&s, 40000);
  ASSERT_EQ(list.Count(), 2);
  EXPECT_FALSE(list.MultiPartition());
  EXPECT_TRUE(list[0]->ReadInfo);
  EXPECT_EQ(list[1]->Data.StartOffset, 5 + 164 + 10 + 164);
  EXPECT_EQ(list.IndexOf("C:\\SRC\\B.DLL;whatever follows"), 1);
  EXPECT_EQ(list.IndexOf("c:\\src\\c.dll"), -1);
  EXPECT_EQ(MessageOf([&] { list.FileHeaders(2); }),
            "2 is an invalid TFileHeader index in TFileHeaders.GetFileHeaders");
  EXPECT_EQ(MessageOf([&] { list.FileHeaders(-1); }),
            "-1 is an invalid TFileHeader index in TFileHeaders.GetFileHeaders");
}

TEST(HeaderList, EmptyArchivesAndAnyNonzeroFlag) {
  TMemoryStream s;
  Load(s, Image(0, 7, {}));
  TFileHeaders list;
  list.ReadHeaderInformation(&s, 0);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_TRUE(list.MultiPartition());
  TMemoryStream neg;
  Load(neg, Image(-5, 0, {}));
  list.ReadHeaderInformation(&neg, 0);
  EXPECT_EQ(list.Count(), 0);
}

TEST(HeaderList, RefusesWhatTheBytesCannotHold) {
  TFileHeaders list;
  // Shorter than the start.
  TMemoryStream shortStart;
  Load(shortStart, {1, 0, 0});
  EXPECT_EQ(MessageOf([&] { list.ReadHeaderInformation(&shortStart, 0); }),
            "Could not read the file header count for the compressed file");
  // An offset beyond the file.
  EXPECT_EQ(MessageOf([&] { list.ReadHeaderInformation(&shortStart, 1000); }),
            "Could not read the file header count for the compressed file");
  // A count larger than the headers present, small and huge.
  for (int32_t count : {3, 1000, INT_MAX}) {
    TMemoryStream s;
    Load(s, Image(count, 0, {Named("a"), Named("b")}));
    EXPECT_EQ(MessageOf([&] { list.ReadHeaderInformation(&s, 0); }), kCorrupt) << count;
  }
  // A chain that turns back on itself.
  {
    auto b = Image(3, 0, {Named("a"), Named("b"), Named("c")}, 200);
    lzh::PutI32(b.data() + 5 + 164 + 200 + 124, 5);
    TMemoryStream s;
    Load(s, b);
    EXPECT_EQ(MessageOf([&] { list.ReadHeaderInformation(&s, 0); }), kCorrupt);
  }
  // A name length beyond its field.
  {
    auto b = Image(1, 0, {Named("a")});
    b[5 + 20] = 101;
    TMemoryStream s;
    Load(s, b);
    EXPECT_EQ(MessageOf([&] { list.ReadHeaderInformation(&s, 0); }), kCorrupt);
  }
  // A blank name.
  {
    TMemoryStream s;
    Load(s, Image(1, 0, {Named("   ")}));
    EXPECT_EQ(MessageOf([&] { list.ReadHeaderInformation(&s, 0); }), "Tried to add an invalid file header");
  }
}

TEST(HeaderList, WritesDiskSetHeadersBackToBack) {
  TMemoryStream s;
  Load(s, Image(2, 0, {Named("a"), Named("b")}));
  TFileHeaders list;
  list.ReadHeaderInformation(&s, 0);
  list.SetMultiPartition(true);
  TMemoryStream out;
  list.WriteHeaderInformation(&out);
  ASSERT_EQ(out.Size(), 5 + 2 * 164);
  auto* p = static_cast<const uint8_t*>(out.Memory());
  EXPECT_EQ(lzh::GetI32(p), 2);
  EXPECT_EQ(p[4], 1);
  EXPECT_EQ(lzh::GetI32(p + 5 + 124), 169);
  EXPECT_EQ(lzh::GetI32(p + 169 + 124), 333);
  // A single volume's start alone.
  list.SetMultiPartition(false);
  TMemoryStream single;
  list.WriteHeaderInformation(&single);
  EXPECT_EQ(single.Size(), 5);
}

TEST(HeaderList, EntryPositionsMustLieInTheArchive) {
  lzh::TlzhFileHeader h = Named("a");
  h.StartOffset = 169;
  h.EndOffset = 1168;
  h.PackedSize = 1000;
  EXPECT_TRUE(lzh::EntryFits(h, false, 0, 1169));
  EXPECT_FALSE(lzh::EntryFits(h, false, 0, 1168));
  EXPECT_TRUE(lzh::EntryFits(h, false, 40000, 41169));
  EXPECT_FALSE(lzh::EntryFits(h, false, 40000, 41168));
  lzh::TlzhFileHeader bad = h;
  bad.StartOffset = -1;
  EXPECT_FALSE(lzh::EntryFits(bad, false, 0, 5000));
  bad = h;
  bad.EndOffset = 100;
  EXPECT_FALSE(lzh::EntryFits(bad, false, 0, 5000));
  bad = h;
  bad.NormalSize = -1;
  EXPECT_FALSE(lzh::EntryFits(bad, false, 0, 5000));
  bad = h;
  bad.StartDisk = 2;
  bad.EndDisk = 3;
  EXPECT_FALSE(lzh::EntryFits(bad, false, 0, 5000));
  // Disk sets: volumes from 1, the first not after the last.
  lzh::TlzhFileHeader d = h;
  d.StartDisk = 1;
  d.EndDisk = 2;
  d.EndOffset = 332;
  EXPECT_TRUE(lzh::EntryFits(d, true, 0, 1000));
  d.StartDisk = 0;
  EXPECT_FALSE(lzh::EntryFits(d, true, 0, 1000));
  d.StartDisk = 3;
  EXPECT_FALSE(lzh::EntryFits(d, true, 0, 1000));

  // Why an entry does not fit: positions a longer file would hold are a cut
  // archive, the others a damaged one. What lies on a disk set's first
  // volume lies inside it.
  lzh::TlzhFileHeader first = h;  // one volume: data 169..1168
  first.StartDisk = first.EndDisk = 1;
  lzh::TlzhFileHeader spans = first;  // volume 1 from 169 on, volume 2 to 332
  spans.EndDisk = 2;
  spans.EndOffset = 332;
  struct {
    const char* what;
    lzh::TlzhFileHeader entry;
    bool multi;
    int64_t size;
    lzh::TEntryCheck check;
  } rows[] = {
      {"whole", h, false, 1169, lzh::TEntryCheck::Fits},
      {"data cut short", h, false, 1000, lzh::TEntryCheck::Cut},
      {"data not begun", h, false, 100, lzh::TEntryCheck::Cut},
      {"volumes in a single volume", bad, false, 100000, lzh::TEntryCheck::Damaged},
      {"disk set, on volume 1", first, true, 1169, lzh::TEntryCheck::Fits},
      {"disk set, volume 1 cut in the entry", first, true, 1000, lzh::TEntryCheck::Cut},
      {"disk set, volume 1 cut before the entry", spans, true, 100, lzh::TEntryCheck::Cut},
      {"disk set, on to volume 2", spans, true, 333, lzh::TEntryCheck::Fits},
  };
  for (const auto& r : rows)
    EXPECT_EQ(lzh::CheckEntry(r.entry, r.multi, 0, r.size), r.check) << r.what;
}

// A header list that cannot be read tells an archive cut short (the bytes end
// where the headers read so far put the next one) from damaged headers.
TEST(HeaderList, ACutArchiveIsToldFromDamagedHeaders) {
  auto good = Image(3, 0, {Named("a"), Named("b"), Named("c")}, 200);
  auto cut = [&](size_t n) { return std::vector<uint8_t>(good.begin(), good.begin() + static_cast<long>(n)); };
  auto at = [&](std::vector<uint8_t> b, size_t pos, std::function<void(uint8_t*)> f) {
    f(b.data() + pos);
    return b;
  };
  const size_t second = 5 + 164 + 200;  // where header 2 stands
  struct {
    const char* what;
    std::vector<uint8_t> bytes;
    bool endedEarly;
  } rows[] = {
      {"in the start", cut(3), true},
      {"in the first header", cut(100), true},
      {"in the first entry's data", cut(5 + 164 + 50), true},
      {"in the second header", cut(second + 20), true},
      {"count too large for any archive", at(good, 0, [](uint8_t* p) { lzh::PutI32(p, INT_MAX); }), false},
      {"a name longer than its field", at(good, second + 20, [](uint8_t* p) { *p = 101; }), false},
      {"a chain that turns back", at(good, second + 124, [](uint8_t* p) { lzh::PutI32(p, 5); }), false},
      {"a header past the end the one before gives",
       at(good, 5 + 124, [](uint8_t* p) { lzh::PutI32(p, 5000); }), false},
  };
  for (const auto& r : rows) {
    TMemoryStream s;
    Load(s, r.bytes);
    TFileHeaders list;
    EXPECT_NE(MessageOf([&] { list.ReadHeaderInformation(&s, 0); }), "<nothing raised>") << r.what;
    EXPECT_EQ(list.EndedEarly(), r.endedEarly) << r.what;
  }
  // A whole one reads, and all its entries lie in it; cut in the last
  // entry's data, its headers read and that entry is the first cut one.
  for (size_t n : {good.size(), good.size() - 1}) {
    TMemoryStream s;
    Load(s, cut(n));
    TFileHeaders list;
    list.ReadHeaderInformation(&s, 0);
    EXPECT_FALSE(list.EndedEarly());
    lzh::TEntryCheck why;
    EXPECT_EQ(list.FirstUnfit(0, static_cast<int64_t>(n), why), n == good.size() ? -1 : 2) << n;
    EXPECT_EQ(why, n == good.size() ? lzh::TEntryCheck::Fits : lzh::TEntryCheck::Cut) << n;
  }
}

TEST(Statistics, PercentagesRoundHalfToEvenAndKeepTheLowByte) {
  EXPECT_EQ(Percentage(1, 200), 0);   // 0.5
  EXPECT_EQ(Percentage(3, 200), 2);   // 1.5
  EXPECT_EQ(Percentage(5, 200), 2);   // 2.5
  EXPECT_EQ(Percentage(1, 3), 33);
  EXPECT_EQ(Percentage(5, 0), 0);
  EXPECT_EQ(Percentage(3, 1), 44);    // 300 in a byte
  TMemoryStream s;
  auto a = Named("a"), b = Named("b");
  a.NormalSize = 300;
  a.PackedSize = 100;
  b.NormalSize = 100;
  b.PackedSize = 50;
  Load(s, Image(2, 0, {a, b}));
  TFileHeaders list;
  list.ReadHeaderInformation(&s, 0);
  TlzhFileStats st;
  st.TotalBytesProcessed = 9;
  list.ProcessTotalStatistics(st);
  EXPECT_EQ(st.TotalSize, 400);
  EXPECT_EQ(st.TotalPackedSize, 150);
  EXPECT_EQ(st.TotalRatio, 38);  // 37.5 to the even neighbour
  EXPECT_EQ(st.TotalBytesProcessed, 0);
  list[1]->ProcessFileStatistics(st);
  EXPECT_EQ(st.IFName, "b");
  EXPECT_EQ(st.IFRatio, 50);
  EXPECT_EQ(st.IFHeader.PackedSize, 50);
}

TEST(ZlibLayer, RoundTripAndDamagedStreams) {
  std::vector<unsigned char> data(300000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<unsigned char>((i * 7) ^ (i >> 9));
  TMemoryStream packed;
  int blocks = 0;
  {
    TZCompressor c(&packed, ZlibLevel(colMax));
    c.OnBlock = [&] { ++blocks; };
    c.Write(data.data(), data.size());
    c.Finish();
  }
  auto inflateAll = [](const unsigned char* p, size_t n, std::vector<unsigned char>& out) {
    TZDecompressor z;
    z.SetInput(p, n);
    unsigned char block[4096];
    for (;;) {
      size_t m = z.Inflate(block, sizeof block);
      out.insert(out.end(), block, block + m);
      if (m == 0) break;
    }
    return z.Ended();
  };
  auto* p = static_cast<const unsigned char*>(packed.Memory());
  size_t n = static_cast<size_t>(packed.Size());
  std::vector<unsigned char> out;
  EXPECT_TRUE(inflateAll(p, n, out));
  EXPECT_EQ(out, data);
  // Cut short: no error of its own, but the stream has not ended.
  out.clear();
  EXPECT_FALSE(inflateAll(p, n - 3, out));
  // A bad checksum.
  std::vector<unsigned char> bad(p, p + n);
  bad[n - 1] ^= 0xFF;
  out.clear();
  EXPECT_THROW(inflateAll(bad.data(), n, out), EDecompressionError);
  // An empty input is a stream of 8 bytes at any compressing level.
  for (auto level : {colFastest, colDefault, colMax}) {
    TMemoryStream e;
    TZCompressor c(&e, ZlibLevel(level));
    c.Finish();
    EXPECT_EQ(e.Size(), 8);
  }
}

namespace {
// A destination that takes only Room bytes, like a disk that fills.
class TFullStream : public TMemoryStream {
public:
  explicit TFullStream(int64_t Room) : FRoom(Room) {}
  int64_t Write(const void* B, int64_t N) override {
    int64_t n = std::min(N, FRoom - Size());
    return n > 0 ? TMemoryStream::Write(B, n) : 0;
  }

private:
  int64_t FRoom;
};
}  // namespace

TEST(ZlibLayer, AShortWriteReachesTheHandler) {
  std::vector<unsigned char> data(400000);
  uint32_t x = 1;
  for (auto& b : data) {
    x = x * 1103515245u + 12345u;
    b = static_cast<unsigned char>(x >> 24);
  }
  TFullStream full(100000);
  int told = 0;
  TZCompressor c(&full, ZlibLevel(colFastest));
  c.OnShortWrite = [&] {
    ++told;
    throw EQlntCompress("The disk is full");
  };
  EXPECT_THROW(
      {
        c.Write(data.data(), data.size());
        c.Finish();
      },
      EQlntCompress);
  EXPECT_EQ(told, 1);
  // Without a handler the compressor still refuses to go on.
  TFullStream full2(10);
  TZCompressor c2(&full2, ZlibLevel(colNone));
  EXPECT_THROW(
      {
        c2.Write(data.data(), data.size());
        c2.Finish();
      },
      ECompressionError);
}
