// Spreading an archive over volumes of a given size and reading it back,
// with the disk prompts and the disk-full paths.
#include <gtest/gtest.h>

#include "archive_test_util.h"
#include "common/TestSupport.h"

using namespace testsupport;
using namespace archtest;

namespace {

class TDiskCompress : public TQlntCompress {
public:
  using TQlntCompress::TQlntCompress;
  std::vector<int64_t> Capacities;  // per volume; the last repeats
  int Made = 0;

protected:
  TStream* CreateVolume(const std::string& Name) override {
    int64_t cap = Capacities[std::min<size_t>(Made++, Capacities.size() - 1)];
    return new TSmallVolume(Name, cap);
  }
};


}  // namespace

TEST(DiskSet, FileLargerThanAVolumeSpansThreeAndReadsBack) {
  ScratchFolder s("disk");
  WriteBytes(s("small"), Payload(3000, 1));
  WriteBytes(s("large"), Payload(600000, 2));
  TQlntCompress packer(nullptr);
  Pack(packer, s("files.1"), {s("small"), s("large")});
  int64_t packedTotal = packer.Files(0).TotalPackedSize;
  ASSERT_GT(packedTotal, 100000);

  ForceDirectories(s("d1"));
  ForceDirectories(s("d2"));
  ForceDirectories(s("d3"));
  TDiskCompress c(nullptr);
  int64_t cap = packedTotal / 3 + 1000;
  c.Capacities = {cap};
  std::vector<int> asked;
  c.SetOnNewDisk([&](TQlntCompress*, int32_t disk, std::string& path) {
    asked.push_back(disk);
    path = s("d" + std::to_string(disk));
  });
  c.SetCompressedFile(s("files.1"));
  c.CopyToDisk(s("d1"), "files.1");
  // Disks 2 and 3 were asked for, then disk 1 again (disk 3 was still in the drive).
  EXPECT_EQ(asked, (std::vector<int>{2, 3, 1}));
  EXPECT_TRUE(FileExists(s("d1\\files.1")));
  EXPECT_TRUE(FileExists(s("d2\\files.2")));
  EXPECT_TRUE(FileExists(s("d3\\files.3")));
  EXPECT_FALSE(FileExists(s("d1\\files.2")));

  // Volume 1: the start with flag 1 and the headers back to back.
  std::string v1 = ReadBytes(s("d1\\files.1"));
  auto* p = reinterpret_cast<const uint8_t*>(v1.data());
  EXPECT_EQ(lzh::GetI32(p), 2);
  EXPECT_EQ(p[4], 1);
  lzh::TlzhFileHeader h1, h2;
  ASSERT_TRUE(lzh::DecodeHeader(p + 5, h1));
  ASSERT_TRUE(lzh::DecodeHeader(p + 169, h2));
  EXPECT_EQ(h1.NextHeaderOffset, 169);
  EXPECT_EQ(h2.NextHeaderOffset, 333);
  EXPECT_EQ(h1.StartDisk, 1);
  EXPECT_EQ(h1.StartOffset, 333);
  EXPECT_EQ(h2.StartDisk, 1);
  EXPECT_EQ(h2.EndDisk, 3);
  EXPECT_EQ(static_cast<int64_t>(v1.size()), cap);
  EXPECT_EQ(h2.EndOffset + 1, static_cast<int32_t>(ReadBytes(s("d3\\files.3")).size()));

  // Reading the set: every volume in its own folder, asked for as needed.
  TQlntCompress r(nullptr);
  std::vector<int> prompts;
  r.SetOnNewDisk([&](TQlntCompress*, int32_t disk, std::string& path) {
    prompts.push_back(disk);
    path = s("d" + std::to_string(disk));
  });
  Unpack(r, s("d1\\files.1"), {s("large"), s("small")}, s("out"));
  EXPECT_EQ(ReadBytes(s("out\\large")), ReadBytes(s("large")));
  EXPECT_EQ(ReadBytes(s("out\\small")), ReadBytes(s("small")));
  EXPECT_EQ(prompts, (std::vector<int>{2, 3, 1}));
}

TEST(DiskSet, AnEntryStartingAtTheVeryEndOfAVolume) {
  ScratchFolder s("disk");
  WriteBytes(s("a"), Payload(20000, 5));
  WriteBytes(s("b"), Payload(20000, 6));
  TQlntCompress packer(nullptr);
  Pack(packer, s("files.1"), {s("a"), s("b")});
  int32_t packedA = packer.Files(0).IFPackedSize;
  TDiskCompress c(nullptr);
  c.Capacities = {5 + 2 * 164 + packedA, 1 << 20};  // volume 1 ends right after entry a
  c.SetOnNewDisk([&](TQlntCompress*, int32_t d, std::string& path) { path = s(d == 1 ? "v1" : "v2"); });
  ForceDirectories(s("v1"));
  ForceDirectories(s("v2"));
  c.SetCompressedFile(s("files.1"));
  c.CopyToDisk(s("v1"), "files.1");
  TQlntCompress r(nullptr);
  r.SetOnNewDisk([&](TQlntCompress*, int32_t d, std::string& path) { path = s(d == 1 ? "v1" : "v2"); });
  r.SetCompressedFile(s("v1\\files.1"));
  TlzhFileStats b = r.Files(1);
  EXPECT_EQ(b.IFHeader.StartDisk, 1);
  EXPECT_EQ(b.IFHeader.StartOffset, 5 + 2 * 164 + packedA);
  Unpack(r, s("v1\\files.1"), {s("b"), s("a")}, s("out"));
  EXPECT_EQ(ReadBytes(s("out\\b")), ReadBytes(s("b")));
  EXPECT_EQ(ReadBytes(s("out\\a")), ReadBytes(s("a")));
}

TEST(DiskSet, FullDisksWithoutAHandlerOrWithTooLittleRoom) {
  ScratchFolder s("disk");
  WriteBytes(s("a"), Payload(200000, 8));
  TQlntCompress packer(nullptr);
  Pack(packer, s("files.1"), {s("a")});
  ForceDirectories(s("v"));
  {
    TDiskCompress c(nullptr);
    c.Capacities = {20000};
    c.SetCompressedFile(s("files.1"));
    EXPECT_EQ(Message([&] { c.CopyToDisk(s("v"), "files.1"); }),
              "There was no event handler for the OnNewDisk event, therefore no new disk could be inserted");
    EXPECT_TRUE(c.Abort());
  }
  {
    TDiskCompress c(nullptr);
    c.Capacities = {20000, 100};
    c.SetOnNewDisk([](TQlntCompress*, int32_t, std::string&) {});
    c.SetCompressedFile(s("files.1"));
    EXPECT_EQ(Message([&] { c.CopyToDisk(s("v"), "files.1"); }), "There is too little space on this disk to operate");
  }
  {
    // A Cancel at a disk prompt.
    TDiskCompress c(nullptr);
    c.Capacities = {20000};
    int aborted = 0;
    c.SetOnAborted([&](TObject*) { ++aborted; });
    c.SetOnNewDisk([](TQlntCompress* q, int32_t, std::string&) { q->SetAbort(true); });
    c.SetCompressedFile(s("files.1"));
    c.CopyToDisk(s("v"), "files.1");
    EXPECT_EQ(aborted, 1);
  }
}

TEST(DiskSet, MissingVolumesAreAskedForFourTimes) {
  ScratchFolder s("disk");
  WriteBytes(s("a"), "abc");
  TQlntCompress c(nullptr);
  Pack(c, s("x.1"), {s("a")});
  TQlntCompress r(nullptr);
  r.SetCompressedFile(s("x.1"));
  ASSERT_EQ(r.FileCount(), 1);
  RemoveFile(s("x.1"));
  EXPECT_EQ(Message([&] { Unpack(r, s("x.1"), {s("a")}, s("out")); }), "Could not open the correct disk file 1");
  int asked = 0;
  r.SetOnNewDisk([&](TQlntCompress* q, int32_t disk, std::string& path) {
    ++asked;
    EXPECT_EQ(disk, 1);
    EXPECT_EQ(path, s("").substr(0, s("").size() - 1));
    q->SetAbort(true);  // a Cancel does not stop the prompts
  });
  EXPECT_EQ(Message([&] { Unpack(r, s("x.1"), {s("a")}, s("out")); }), "Cannot open the compressed file " + s("x.1"));
  EXPECT_EQ(asked, 4);
}

// *TODISK copies from a CD or a read-only share; adding to volume 1 of a
// disk set is refused before anything is written.
TEST(DiskSet, ReadOnlySourceAndNoAddingToAVolume) {
  ScratchFolder s("disk");
  WriteBytes(s("a"), Payload(5000, 4));
  TQlntCompress packer(nullptr);
  Pack(packer, s("files.1"), {s("a")});
  ASSERT_TRUE(SetFileAttributesW(Widen(s("files.1")).c_str(), FILE_ATTRIBUTE_READONLY));
  ForceDirectories(s("d1"));
  TQlntCompress c(nullptr);
  c.SetCompressedFile(s("files.1"));
  c.CopyToDisk(s("d1"), "files.1");
  SetFileAttributesW(Widen(s("files.1")).c_str(), FILE_ATTRIBUTE_NORMAL);
  const std::string volume = ReadBytes(s("d1\\files.1"));
  ASSERT_EQ(volume[4], 1);

  WriteBytes(s("b"), Payload(100, 5));
  TQlntCompress adder(nullptr);
  try {
    Pack(adder, s("d1\\files.1"), {s("b")}, true);
    ADD_FAILURE() << "adding to a volume of a disk set succeeded";
  } catch (const EQlntCompress& e) {
    EXPECT_EQ(e.Message, "Cannot add files to " + s("d1\\files.1") + ": it is a volume of a disk set");
  }
  EXPECT_EQ(ReadBytes(s("d1\\files.1")), volume);
  TQlntCompress r(nullptr);
  Unpack(r, s("d1\\files.1"), {s("a")}, s("out"));
  EXPECT_EQ(ReadBytes(s("out\\a")), ReadBytes(s("a")));
}
