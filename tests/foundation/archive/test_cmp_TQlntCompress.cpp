// Packing and unpacking single-volume archives: round trips, the layout,
// appending, archives inside larger files, the overwrite rules, damaged
// archives and aborts.
#include <gtest/gtest.h>

#include "archive_test_util.h"
#include "classlib/DateUtils.h"
#include "classlib/Forms.h"
#include "common/TestSupport.h"

using namespace testsupport;
using namespace archtest;

namespace {
std::string Corrupt(const std::string& Archive) {
  return "Could not read the file headers for the compressed file " + Archive +
         ". The Archive file could possible be corrupt";
}

}  // namespace

TEST(ArchiveRoundTrip, SizesAroundTheBlockSizesAtEveryLevel) {
  ScratchFolder s("arc");
  const size_t sizes[] = {0, 1, 4095, 4096, 4097, 65536, 3 * 65536, 65536 * 5 + 4096 * 3 + 1, 1000003};
  std::vector<std::string> files;
  for (size_t i = 0; i < std::size(sizes); ++i) {
    files.push_back(s("src" + std::to_string(i) + ".bin"));
    WriteBytes(files.back(), Payload(sizes[i], static_cast<unsigned>(i)));
  }
  for (auto level : {colNone, colFastest, colDefault, colMax}) {
    TQlntCompress c(nullptr);
    std::string arc = s("level" + std::to_string(level) + ".1");
    int before = 0, after = 0;
    c.SetOnBeforeAdding([&](TQlntCompress*, const TlzhFileStats& st) {
      ++before;
      EXPECT_EQ(st.IFPackedSize, 0);
    });
    c.SetOnAfterAdding([&](TQlntCompress*, const TlzhFileStats&) { ++after; });
    Pack(c, arc, files, false, level);
    EXPECT_EQ(before, static_cast<int>(files.size()));
    EXPECT_EQ(after, static_cast<int>(files.size()));
    EXPECT_EQ(c.FilesToProcess()->Count(), 0);

    TQlntCompress r(nullptr);
    r.SetCompressedFile(arc);
    ASSERT_EQ(r.FileCount(), static_cast<int>(files.size()));
    std::string out = s("out" + std::to_string(level));
    for (size_t i = 0; i < files.size(); ++i) {
      TlzhFileStats st = r.Files(static_cast<int>(i));
      EXPECT_EQ(st.IFHeader.NormalSize, static_cast<int32_t>(sizes[i]));
      EXPECT_EQ(st.IFHeader.EndOffset - st.IFHeader.StartOffset + 1, st.IFHeader.PackedSize);
      EXPECT_EQ(st.IFHeader.AddedOrder, static_cast<int32_t>(i + 1));
      if (sizes[i] == 0 && level != colNone) {
        EXPECT_EQ(st.IFHeader.PackedSize, 8);
      }
      Unpack(r, arc, {files[i]}, out);
      std::string got = out + "\\" + ExtractFileName(files[i]);
      EXPECT_EQ(ReadBytes(got), ReadBytes(files[i])) << sizes[i];
      EXPECT_EQ(FileAge(got), FileAge(files[i]));
    }
  }
}

TEST(ArchiveRoundTrip, LayoutOfASingleVolume) {
  ScratchFolder s("arc");
  WriteBytes(s("a.bin"), Payload(5000, 1));
  std::string v = s("versioned.dll");
  CopyFileW(Widen(BinDir() + "\\qnt_ver_2_0.dll").c_str(), Widen(v).c_str(), FALSE);
  TQlntCompress c(nullptr);
  Pack(c, s("x.1"), {s("a.bin") + ";extra fields", v});
  std::string b = ReadBytes(s("x.1"));
  auto* p = reinterpret_cast<const uint8_t*>(b.data());
  EXPECT_EQ(lzh::GetI32(p), 2);
  EXPECT_EQ(p[4], 0);
  lzh::TlzhFileHeader h1, h2;
  ASSERT_TRUE(lzh::DecodeHeader(p + 5, h1));
  EXPECT_EQ(h1.FileName, s("a.bin"));
  EXPECT_EQ(h1.StartOffset, 169);
  EXPECT_EQ(h1.NextHeaderOffset, h1.EndOffset + 1);
  EXPECT_EQ(h1.Version, "");
  EXPECT_EQ(h1.Date, FileDateToDateTime(FileAge(s("a.bin"))));
  ASSERT_TRUE(lzh::DecodeHeader(p + h1.NextHeaderOffset, h2));
  EXPECT_EQ(h2.Version, "2.0.0.0");
  EXPECT_EQ(h2.AddedOrder, 2);
  EXPECT_EQ(h2.StartOffset, h1.NextHeaderOffset + 164);
  EXPECT_EQ(static_cast<size_t>(h2.NextHeaderOffset), b.size());
  // The headers stay in memory after Add; FindFile reads the file again.
  EXPECT_EQ(c.FileCount(), 2);
  EXPECT_EQ(c.FindFile(s("A.BIN")), 0);
  EXPECT_EQ(c.FindFile(s("a.bin") + ";extra fields"), -1);
  EXPECT_EQ(Message([&] { c.Files(2); }), "Tried to access the 2th file. This file is not defined");
  EXPECT_EQ(Message([&] { c.Files(-1); }), "Tried to access the -1th file. This file is not defined");
}

TEST(ArchiveRoundTrip, EmptyAddAndAppending) {
  ScratchFolder s("arc");
  TQlntCompress c(nullptr);
  Pack(c, s("sub\\dir\\e.1"), {});
  EXPECT_EQ(ReadBytes(s("sub\\dir\\e.1")), std::string("\0\0\0\0\0", 5));
  std::vector<std::string> first, second;
  for (int i = 0; i < 3; ++i) WriteBytes(s("f" + std::to_string(i)), Payload(70000 + i, i)), first.push_back(s("f" + std::to_string(i)));
  WriteBytes(s("g0"), Payload(10, 9));
  second = {s("g0"), s("f1")};  // f1 a second time
  Pack(c, s("a.1"), first);
  std::string old = ReadBytes(s("a.1"));
  Pack(c, s("a.1"), second, true);
  std::string now = ReadBytes(s("a.1"));
  EXPECT_EQ(now.substr(5, old.size() - 5), old.substr(5));  // old entries untouched
  TQlntCompress r(nullptr);
  r.SetCompressedFile(s("a.1"));
  ASSERT_EQ(r.FileCount(), 5);
  EXPECT_EQ(r.Files(3).IFHeader.AddedOrder, 1);
  EXPECT_EQ(r.Files(4).IFHeader.AddedOrder, 2);
  EXPECT_EQ(r.FindFile(s("f1")), 1);
  Unpack(r, s("a.1"), {s("g0"), s("f2")}, s("out"));
  EXPECT_EQ(ReadBytes(s("out\\g0")), ReadBytes(s("g0")));
  EXPECT_EQ(ReadBytes(s("out\\f2")), ReadBytes(s("f2")));
  // The reader appends with what its extraction left, and still reads.
  Pack(r, s("a.1"), {s("f0")}, true);
  ASSERT_EQ(r.FileCount(), 6);
  Unpack(r, s("a.1"), {s("f2")}, s("again"));
  EXPECT_EQ(ReadBytes(s("again\\f2")), ReadBytes(s("f2")));
  // A missing source fails before anything is written.
  EXPECT_EQ(Message([&] { Pack(c, s("b.1"), {s("nothing here")}); }), "Cannot open the file " + s("nothing here"));
  EXPECT_TRUE(c.Abort());
  // So does a path longer than the 100 characters an entry's name holds,
  // named whole, even with a file at the path cut to 100; 100 are packed.
  const std::string deep = s(std::string(80 - s("").size(), 'd'));
  const std::string longPath = deep + "\\" + std::string(30, 'n'), cutPath = longPath.substr(0, 100);
  ForceDirectories(deep);
  WriteBytes(longPath, "the file named");
  WriteBytes(cutPath, "another file");
  EXPECT_EQ(Message([&] { Pack(c, s("c.1"), {longPath}); }),
            "The file " + longPath +
                " cannot be packed: its path is longer than the 100 characters an archive keeps of a file's name (a "
                "letter beyond ASCII counts as two to four)");
  EXPECT_FALSE(FileExists(s("c.1")));
  Pack(c, s("c.1"), {cutPath});
  EXPECT_EQ(c.FindFile(cutPath), 0);
}

TEST(ArchiveRoundTrip, ArchiveAtAnOffsetInsideALargerFile) {
  ScratchFolder s("arc");
  WriteBytes(s("a"), Payload(100000, 3));
  WriteBytes(s("b"), Payload(333, 4));
  TQlntCompress c(nullptr);
  Pack(c, s("setup.1"), {s("a"), s("b")});
  std::string host = Payload(40000, 5) + ReadBytes(s("setup.1")) + std::string(56, 'T');
  WriteBytes(s("setup.exe"), host);
  TQlntCompress r(nullptr);
  r.SetCompressedFile(s("setup.exe"));
  r.SetOffset(40000);
  EXPECT_EQ(r.FileCount(), 2);
  Unpack(r, s("setup.exe"), {s("b"), s("a")}, s("out"));
  EXPECT_EQ(ReadBytes(s("out\\a")), ReadBytes(s("a")));
  EXPECT_EQ(ReadBytes(s("out\\b")), ReadBytes(s("b")));
  // Read at the wrong offset the bytes are no archive.
  TQlntCompress w(nullptr);
  w.SetCompressedFile(s("setup.exe"));
  w.SetOffset(39999);
  EXPECT_EQ(Message([&] { w.FileCount(); }), Corrupt(s("setup.exe")));
}

TEST(ArchiveExtract, NamesEventsAndOverwriteRules) {
  ScratchFolder s("arc");
  std::string v19 = s("lib.dll");
  CopyFileW(Widen(BinDir() + "\\qnt_ver_1_9.dll").c_str(), Widen(v19).c_str(), FALSE);
  WriteBytes(s("t1"), "one");
  WriteBytes(s("t2"), "two");
  TQlntCompress c(nullptr);
  Pack(c, s("a.1"), {v19, s("t1"), s("t2")});

  // ExtractName names the first file only, without any folder in it.
  c.SetExtractName("sub\\renamed.dll");
  int before = 0;
  c.SetOnBeforeExtracting([&](TQlntCompress*, const TlzhFileStats&) { ++before; });
  Unpack(c, s("a.1"), {v19, s("t1"), s("t2")}, s("out"));
  EXPECT_EQ(before, 3);
  EXPECT_TRUE(FileExists(s("out\\renamed.dll")));
  EXPECT_FALSE(DirectoryExists(s("out\\sub")));
  EXPECT_EQ(ReadBytes(s("out\\t1")), "one");
  EXPECT_EQ(c.ExtractName(), "");

  // A newer version at the destination stays under owVersion.
  std::string dest = s("out\\lib.dll");
  CopyFileW(Widen(BinDir() + "\\qnt_ver_2_0.dll").c_str(), Widen(dest).c_str(), FALSE);
  std::string kept = ReadBytes(dest);
  c.SetOverwrite(owVersion);
  int statuses = 0, lastOnes = 0, replaced = 0;
  c.SetOnStatus([&](TQlntCompress*, const TlzhFileStats& st) {
    ++statuses;
    lastOnes += st.Last;
  });
  c.SetOnReplace([&](TQlntCompress*, const TlzhFileStats&) { ++replaced; });
  // Kept, skipped, written and a quiet end are told apart.
  EXPECT_EQ(Unpack(c, s("a.1"), {v19}, s("out")), eoSkipped);
  EXPECT_EQ(statuses, 1);
  EXPECT_EQ(lastOnes, 1);
  EXPECT_EQ(replaced, 0);
  EXPECT_EQ(ReadBytes(dest), kept);
  c.SetOverwrite(owNever);
  Unpack(c, s("a.1"), {v19}, s("out"));
  EXPECT_EQ(ReadBytes(dest), kept);
  // owAlways replaces, and OnReplace may rename the target.
  c.SetOverwrite(owAlways);
  c.SetOnReplace([&](TQlntCompress* q, const TlzhFileStats&) {
    ++replaced;
    q->SetExtractName("other\\moved.dll");
  });
  EXPECT_EQ(Unpack(c, s("a.1"), {v19}, s("out")), eoWritten);
  EXPECT_EQ(replaced, 1);
  EXPECT_EQ(ReadBytes(dest), kept);
  EXPECT_EQ(ReadBytes(s("out\\moved.dll")), ReadBytes(v19));
  // A handler's SkipFile leaves the file alone.
  c.SetOnReplace(nullptr);
  c.SetOnBeforeExtracting([](TQlntCompress* q, const TlzhFileStats&) { q->SetSkipFile(true); });
  RemoveFile(s("out\\t2"));
  EXPECT_EQ(Unpack(c, s("a.1"), {s("t2")}, s("out")), eoSkipped);
  EXPECT_FALSE(FileExists(s("out\\t2")));
  c.SetOnBeforeExtracting(nullptr);

  // The target-whole handler, for the next Extract only, gets the file whole
  // and open, and may name it through its handle; what it named stays.
  int wholes = 0;
  c.SetOnTargetWhole([&](TQlntCompress*, THandle h) {
    ++wholes;
    LARGE_INTEGER size{};
    EXPECT_TRUE(GetFileSizeEx(reinterpret_cast<HANDLE>(h), &size));
    EXPECT_EQ(size.QuadPart, 3);
    const std::wstring to = Widen(s("out\\named"));
    std::vector<unsigned char> info(sizeof(FILE_RENAME_INFO) + to.size() * sizeof(wchar_t));
    auto* r = reinterpret_cast<FILE_RENAME_INFO*>(info.data());
    r->FileNameLength = static_cast<DWORD>(to.size() * sizeof(wchar_t));
    std::copy(to.begin(), to.end(), r->FileName);
    EXPECT_TRUE(SetFileInformationByHandle(reinterpret_cast<HANDLE>(h), FileRenameInfo, r,
                                           static_cast<DWORD>(info.size())));
  });
  Unpack(c, s("a.1"), {s("t2")}, s("out"));
  Unpack(c, s("a.1"), {s("t1")}, s("out3"));
  EXPECT_EQ(wholes, 1);
  EXPECT_EQ(ReadBytes(s("out\\named")), "two");
  EXPECT_FALSE(FileExists(s("out\t2")));
  EXPECT_EQ(ReadBytes(s("out3\\t1")), "one");

  // Totals cover the whole archive.
  uint8_t lastTotal = 0;
  c.SetOnStatus([&](TQlntCompress*, const TlzhFileStats& st) { lastTotal = st.TotalCompletion; });
  Unpack(c, s("a.1"), {s("t1")}, s("out2"));
  EXPECT_LT(lastTotal, 10);
  EXPECT_EQ(Message([&] { Unpack(c, s("a.1"), {"nope.txt"}, s("out")); }),
            "The following file was not found in the archive: nope.txt");
  EXPECT_TRUE(c.Abort());
}

TEST(ArchiveExtract, DamagedEntriesFailAndLeaveNoTarget) {
  ScratchFolder s("arc");
  WriteBytes(s("a"), Payload(300000, 7));
  TQlntCompress c(nullptr);
  Pack(c, s("good.1"), {s("a")});
  const std::string good = ReadBytes(s("good.1"));
  lzh::TlzhFileHeader h;
  ASSERT_TRUE(lzh::DecodeHeader(reinterpret_cast<const uint8_t*>(good.data()) + 5, h));
  auto attempt = [&](const std::string& bytes) {
    WriteBytes(s("bad.1"), bytes);
    TQlntCompress r(nullptr);
    std::string m = Message([&] { Unpack(r, s("bad.1"), {s("a")}, s("out")); });
    EXPECT_FALSE(FileExists(s("out\\a"))) << m;
    EXPECT_TRUE(r.Abort());
    return m;
  };
  // Each names the entry, the archive and what is wrong.
  const std::string where = s("a") + " in the archive " + s("bad.1");
  const std::string damaged = "The compressed data of the following file are damaged: " + where;
  const std::string size = "The decompressed file's size does not match with the actual size of the file.  The file is " + where;
  // A flipped byte inside the stream.
  std::string flipped = good;
  flipped[static_cast<size_t>(h.StartOffset) + 5000] ^= 0x55;
  EXPECT_EQ(attempt(flipped).rfind(damaged + " (error: ", 0), 0u);
  // A bad checksum only.
  std::string sum = good;
  sum[good.size() - 1] ^= 0x01;
  EXPECT_EQ(attempt(sum), damaged + " (error: incorrect data check)");
  // The file cut short: the entry's data run past its end.
  EXPECT_EQ(attempt(good.substr(0, good.size() - 1000)),
            "The compressed data of the following file is incomplete: " + where);
  // The entry's stored end moved forward: the stream ends early.
  std::string early = good;
  lzh::PutI32(reinterpret_cast<uint8_t*>(early.data()) + 5 + 16, h.EndOffset - 5000);
  EXPECT_EQ(attempt(early), size);
  // Only the checksum missing: all bytes come out, yet the stream is incomplete.
  std::string trailer = good;
  lzh::PutI32(reinterpret_cast<uint8_t*>(trailer.data()) + 5 + 16, h.EndOffset - 4);
  EXPECT_EQ(attempt(trailer), "The compressed data of the following file is incomplete: " + where);
  // A stated size smaller than the data.
  std::string small = good;
  lzh::PutI32(reinterpret_cast<uint8_t*>(small.data()) + 5 + 128, 1000);
  EXPECT_EQ(attempt(small), size);
  // A count larger than the file holds.
  std::string count = good;
  lzh::PutI32(reinterpret_cast<uint8_t*>(count.data()), 0x7FFFFFFF);
  EXPECT_EQ(attempt(count), Corrupt(s("bad.1")));

  // The archive is read whole before its first file is taken: cut anywhere
  // in its second entry, the first one (whole itself) does not come out.
  WriteBytes(s("b"), Payload(300000, 9));
  Pack(c, s("two.1"), {s("a"), s("b")});
  const std::string two = ReadBytes(s("two.1"));
  const size_t second = good.size();  // the same first entry, then the second header
  EXPECT_EQ(attempt(two.substr(0, two.size() - 1000)),
            "The compressed data of the following file is incomplete: " + s("b") + " in the archive " + s("bad.1"));
  EXPECT_EQ(attempt(two.substr(0, second + 100)),
            "The compressed file " + s("bad.1") + " is incomplete: it ends before its file headers do");
}

TEST(ArchiveExtract, AFullDiskNamesTheDriveAndTheFile) {
  // The build links bin\diskfull\full.dat to the host's /dev/full, where
  // every write fails for want of room, as on a full disk.
  ScratchFolder s("arc");
  WriteBytes(s("full.dat"), Payload(10000, 3));
  TQlntCompress c(nullptr);
  Pack(c, s("a.1"), {s("full.dat")});
  const std::string dir = BinDir() + "\\diskfull";
  TQlntCompress r(nullptr);
  EXPECT_EQ(Message([&] { Unpack(r, s("a.1"), {s("full.dat")}, dir); }),
            "The disk is full: there is no room left on drive " + dir.substr(0, 2) + " for the file " + dir +
                "\\full.dat");
  EXPECT_TRUE(r.Abort());
}

TEST(ArchiveExtract, StoredNamesNeverLeaveTheFolder) {
  ScratchFolder s("arc");
  WriteBytes(s("a"), "payload");
  TQlntCompress c(nullptr);
  Pack(c, s("a.1"), {s("a")});
  std::string good = ReadBytes(s("a.1"));
  auto withName = [&](const std::string& name) {
    std::string b = good;
    lzh::TlzhFileHeader h;
    lzh::DecodeHeader(reinterpret_cast<const uint8_t*>(b.data()) + 5, h);
    h.FileName = name;
    lzh::EncodeHeader(h, reinterpret_cast<uint8_t*>(b.data()) + 5);
    WriteBytes(s("n.1"), b);
  };
  ForceDirectories(s("deep\\out"));
  for (const std::string name : {"..\\..\\evil.txt", "x/../../evil.txt", "c:evil.txt"}) {
    withName(name);
    TQlntCompress r(nullptr);
    Unpack(r, s("n.1"), {name}, s("deep\\out"));
    EXPECT_EQ(ReadBytes(s("deep\\out\\evil.txt")), "payload") << name;
    EXPECT_FALSE(FileExists(s("evil.txt")));
    RemoveFile(s("deep\\out\\evil.txt"));
  }
  for (const std::string name : {"c:\\dir\\..", "NUL", "c:\\x\\con.txt", "COM\xC2\xB9", "lpt\xC2\xB3.txt"}) {
    withName(name);
    TQlntCompress r(nullptr);
    EXPECT_EQ(Message([&] { Unpack(r, s("n.1"), {name}, s("deep\\out")); }).rfind("Cannot create the file ", 0), 0u)
        << name;
  }
}

TEST(ArchiveAbort, ExtractionStopsWithoutAHalfFile) {
  ScratchFolder s("arc");
  WriteBytes(s("big"), Payload(2000000, 11));
  TQlntCompress c(nullptr);
  Pack(c, s("a.1"), {s("big")});
  int aborted = 0, statuses = 0;
  c.SetOnAborted([&](TObject*) { ++aborted; });
  c.SetOnStatus([&](TQlntCompress* q, const TlzhFileStats&) {
    if (++statuses == 10) q->SetAbort(true);
  });
  EXPECT_EQ(Unpack(c, s("a.1"), {s("big")}, s("out")), eoQuietEnd);
  EXPECT_EQ(aborted, 1);
  EXPECT_EQ(statuses, 10);
  EXPECT_FALSE(FileExists(s("out\\big")));
  // A handler that raises ends the call with its exception.
  c.SetOnAborted([](TObject*) { throw EAbort("stop"); });
  statuses = 0;
  EXPECT_THROW(Unpack(c, s("a.1"), {s("big")}, s("out")), EAbort);
  EXPECT_FALSE(FileExists(s("out\\big")));
}

// A Cancel confirmed while the last block of a file is written, or between
// two operations, ends the extraction and is not cleared by the next one.
TEST(ArchiveAbort, ACancelAtTheLastBlockOrBetweenOperationsIsNotLost) {
  ScratchFolder s("arc");
  WriteBytes(s("small"), Payload(100000, 13));
  TQlntCompress c(nullptr);
  Pack(c, s("a.1"), {s("small")});
  int aborted = 0;
  c.SetOnAborted([&](TObject*) { ++aborted; });
  c.SetOnStatus([&](TQlntCompress* q, const TlzhFileStats& st) {
    if (st.Last) q->SetAbort(true);
  });
  Unpack(c, s("a.1"), {s("small")}, s("out"));
  EXPECT_EQ(aborted, 1);
  EXPECT_FALSE(FileExists(s("out\\small")));
  // Seen once, the Cancel is over: the next extraction runs to its end.
  c.SetOnStatus(nullptr);
  Unpack(c, s("a.1"), {s("small")}, s("out"));
  EXPECT_EQ(aborted, 1);
  EXPECT_TRUE(FileExists(s("out\\small")));
  // Confirmed while nothing runs, it ends the next operation.
  c.SetAbort(true);
  Unpack(c, s("a.1"), {s("small")}, s("out2"));
  EXPECT_EQ(aborted, 2);
  EXPECT_FALSE(FileExists(s("out2\\small")));
}

TEST(ArchiveAbort, AddingStopsWithAReadableArchive) {
  ScratchFolder s("arc");
  WriteBytes(s("small"), Payload(1000, 1));
  WriteBytes(s("big"), Payload(3000000, 2));
  TQlntCompress c(nullptr);
  Pack(c, s("a.1"), {s("small")});
  int aborted = 0;
  c.SetOnAborted([&](TObject*) { ++aborted; });
  c.SetOnStatus([](TQlntCompress* q, const TlzhFileStats& st) {
    if (st.IFName.find("big") != std::string::npos) q->SetAbort(true);
  });
  Pack(c, s("a.1"), {s("small"), s("big")}, true);
  EXPECT_EQ(aborted, 1);
  TQlntCompress r(nullptr);
  r.SetCompressedFile(s("a.1"));
  ASSERT_EQ(r.FileCount(), 2);  // the old entry and the new small one, whole
  Unpack(r, s("a.1"), {s("small")}, s("out"));
  EXPECT_EQ(ReadBytes(s("out\\small")), ReadBytes(s("small")));
}

TEST(ArchiveCopy, PlainCopiesUnderTheRules) {
  ScratchFolder s("arc");
  WriteBytes(s("empty"), "");
  int statuses = 0;
  TQlntCompress c(nullptr);
  c.SetOnStatus([&](TQlntCompress*, const TlzhFileStats&) { ++statuses; });
  c.Copy(s("empty"), s("copy"));
  EXPECT_EQ(statuses, 2);
  EXPECT_EQ(ReadBytes(s("copy")), "");
  EXPECT_EQ(FileAge(s("copy")), FileAge(s("empty")));
  WriteBytes(s("data"), Payload(100000, 3));
  c.SetOverwrite(owNever);
  c.Copy(s("data"), s("copy"));
  EXPECT_EQ(ReadBytes(s("copy")), "");
  c.SetOverwrite(owAlways);
  c.Copy(s("data"), s("copy"));
  EXPECT_EQ(ReadBytes(s("copy")), ReadBytes(s("data")));
  EXPECT_EQ(c.ExtractDirectory(), s("").substr(0, s("").size() - 1));
  EXPECT_EQ(Message([&] { c.Copy(s("none"), s("copy2")); }), "Cannot open the file " + s("none"));
  // A skip flag an Extract left set does not skip the next copy.
  Pack(c, s("a.1"), {s("empty")});
  c.SetOnBeforeExtracting([](TQlntCompress* q, const TlzhFileStats&) { q->SetSkipFile(true); });
  Unpack(c, s("a.1"), {s("empty")}, s("out"));
  c.SetOnBeforeExtracting(nullptr);
  ASSERT_TRUE(c.SkipFile());
  c.Copy(s("data"), s("copy3"));
  EXPECT_EQ(ReadBytes(s("copy3")), ReadBytes(s("data")));
  c.SetOverwrite(owDate);
  HANDLE lock = CreateFileW(Widen(s("copy")).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(Message([&] { c.Copy(s("data"), s("copy")); }), "Error comparing file versions in TQlntCompress");
  CloseHandle(lock);
}

namespace {
TQlntCompress* gCancelTarget = nullptr;
LRESULT CALLBACK CancelProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_APP && gCancelTarget) gCancelTarget->SetAbort(true);
  return DefWindowProcW(w, m, wp, lp);
}
}  // namespace

TEST(ArchiveAbort, ACancelQueuedAsAWindowMessageReachesTheExtraction) {
  ScratchFolder s("arc");
  WriteBytes(s("big"), Payload(24000000, 12));
  TQlntCompress c(nullptr);
  Pack(c, s("a.1"), {s("big")}, false, colFastest);
  WNDCLASSW wc{};
  wc.lpfnWndProc = CancelProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"QntCancelTest";
  RegisterClassW(&wc);
  HWND w = CreateWindowExW(0, L"QntCancelTest", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(w, nullptr);
  gCancelTarget = &c;
  int aborted = 0;
  c.SetOnAborted([&](TObject*) { ++aborted; });
  // The Cancel arrives a little after the start, as a click would.
  int blocks = 0;
  c.SetOnStatus([&](TQlntCompress*, const TlzhFileStats&) {
    if (++blocks == 3) PostMessageW(w, WM_APP, 0, 0);
  });
  Unpack(c, s("a.1"), {s("big")}, s("out"));
  gCancelTarget = nullptr;
  DestroyWindow(w);
  EXPECT_EQ(aborted, 1);
  EXPECT_LT(blocks, 5800);  // far from the file's end (5,860 blocks)
  EXPECT_FALSE(FileExists(s("out\\big")));
}

// Names stored in the Windows ANSI code page (as the Windows 95/NT family
// wrote them) stay apart: cafe with an acute and with a grave accent are
// two files.
TEST(ArchiveExtract, NamesInTheAnsiCodePageStayApart) {
  ScratchFolder s("arc");
  WriteBytes(s("t1"), "acute");
  WriteBytes(s("t2"), "grave");
  TQlntCompress c(nullptr);
  Pack(c, s("a.1"), {s("t1"), s("t2")});
  std::string b = ReadBytes(s("a.1"));
  size_t at = 5;
  for (const char* name : {"caf\xE9.txt", "caf\xE8.txt"}) {
    lzh::TlzhFileHeader h;
    ASSERT_TRUE(lzh::DecodeHeader(reinterpret_cast<const uint8_t*>(b.data()) + at, h));
    h.FileName = name;  // the raw bytes of the code page
    lzh::EncodeHeader(h, reinterpret_cast<uint8_t*>(b.data()) + at);
    at = static_cast<size_t>(h.NextHeaderOffset);
  }
  WriteBytes(s("ansi.1"), b);
  TQlntCompress r(nullptr);
  r.SetCompressedFile(s("ansi.1"));
  EXPECT_EQ(r.Files(0).IFName, "caf\xC3\xA9.txt");
  EXPECT_EQ(r.Files(1).IFName, "caf\xC3\xA8.txt");
  Unpack(r, s("ansi.1"), {"caf\xC3\xA9.txt", "caf\xC3\xA8.txt"}, s("out"));
  EXPECT_EQ(ReadBytes(s("out\\caf\xC3\xA9.txt")), "acute");
  EXPECT_EQ(ReadBytes(s("out\\caf\xC3\xA8.txt")), "grave");
}

// A destination dated before 1980 is older than any source, not the end of
// the extraction.
TEST(ArchiveExtract, DestinationBefore1980IsOlder) {
  ScratchFolder s("arc");
  WriteBytes(s("t1"), "new");
  TQlntCompress c(nullptr);
  Pack(c, s("a.1"), {s("t1")});
  ForceDirectories(s("out"));
  WriteBytes(s("out\\t1"), "old");
  SYSTEMTIME st{};
  st.wYear = 1975;
  st.wMonth = 6;
  st.wDay = 1;
  FILETIME ft;
  ASSERT_TRUE(SystemTimeToFileTime(&st, &ft));
  HANDLE h = CreateFileW(Widen(s("out\\t1")).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(SetFileTime(h, nullptr, nullptr, &ft));
  CloseHandle(h);
  c.SetOverwrite(owDate);
  Unpack(c, s("a.1"), {s("t1")}, s("out"));
  EXPECT_EQ(ReadBytes(s("out\\t1")), "new");
}

// The temporary file of Add that cannot be made is the archive component's
// own error.
TEST(ArchiveRoundTrip, NoTemporaryFileIsAnArchiveError) {
  ScratchFolder s("arc");
  WriteBytes(s("t1"), "data");
  wchar_t oldTmp[MAX_PATH] = {}, oldTemp[MAX_PATH] = {};
  GetEnvironmentVariableW(L"TMP", oldTmp, MAX_PATH);
  GetEnvironmentVariableW(L"TEMP", oldTemp, MAX_PATH);
  std::wstring missing = Widen(s("no such folder"));
  SetEnvironmentVariableW(L"TMP", missing.c_str());
  SetEnvironmentVariableW(L"TEMP", missing.c_str());
  TQlntCompress c(nullptr);
  std::string msg;
  try {
    Pack(c, s("a.1"), {s("t1")});
  } catch (const EQlntCompress& e) {
    msg = e.Message;
  } catch (const Exception& e) {
    msg = "other class: " + e.Message;
  }
  SetEnvironmentVariableW(L"TMP", *oldTmp ? oldTmp : nullptr);
  SetEnvironmentVariableW(L"TEMP", *oldTemp ? oldTemp : nullptr);
  EXPECT_EQ(msg.rfind("Cannot create the file " + s("no such folder"), 0), 0u) << msg;
}

namespace {
// A form that counts the paints of its window.
class TPaintCounter : public TForm {
public:
  using TForm::TForm;
  bool Counting = false;
  int Paints = 0;
  LRESULT WndProc(UINT Msg, WPARAM WParam, LPARAM LParam) override {
    if (Msg == WM_PAINT && Counting) ++Paints;
    return TForm::WndProc(Msg, WParam, LParam);
  }
};
}  // namespace

// Extraction runs the application's message pump between blocks: a shown
// progress form repaints while the archive is being read.
TEST(ArchivePump, ProgressPaintsAShownFormWhileExtracting) {
  ScratchFolder s("pump");
  WriteBytes(s("big.bin"), Payload(8 << 20, 7));
  TQlntCompress packer(nullptr);
  Pack(packer, s("big.1"), {s("big.bin")}, false, colNone);
  auto* form = new TPaintCounter(Application);
  form->SetBounds(40, 40, 300, 120);
  form->Show();
  Application->ProcessMessages();
  TQlntCompress c(nullptr);
  int updates = 0;
  c.SetOnStatus([&](TQlntCompress*, const TlzhFileStats&) {
    ++updates;
    form->Invalidate();
  });
  form->Counting = true;
  form->Invalidate();
  Unpack(c, s("big.1"), {s("big.bin")}, s("out"));
  form->Counting = false;
  EXPECT_GT(updates, 0);
  EXPECT_GT(form->Paints, 0);
  EXPECT_EQ(ReadBytes(s("out\\big.bin")).size(), size_t{8} << 20);
  form->Free();
}

// Entries inflated ahead on worker threads come out as the extraction's own:
// the same bytes, events and errors, in any order the files are asked for.
TEST(ArchiveUnpackAhead, AnyOrderGivesTheSameFilesEventsAndErrors) {
  ScratchFolder s("arc");
  const size_t sizes[] = {0, 1, 4096, 300000, 1000003, 70000, 5, 2500000, 123456, 4097};
  std::vector<std::string> files;
  for (size_t i = 0; i < std::size(sizes); ++i) {
    files.push_back(s("f" + std::to_string(i)));
    WriteBytes(files.back(), Payload(sizes[i], static_cast<unsigned>(i) + 40));
  }
  TQlntCompress packer(nullptr);
  Pack(packer, s("a.1"), files);
  // Entry 6 damaged: its stream stops short of the size it claims.
  std::string bad = ReadBytes(s("a.1"));
  TQlntCompress probe(nullptr);
  probe.SetCompressedFile(s("a.1"));
  const lzh::TlzhFileHeader h6 = probe.Files(6).IFHeader;
  bad[static_cast<size_t>(h6.StartOffset) + 3] ^= 0x40;
  WriteBytes(s("bad.1"), bad);

  // Each order is one Extract per file, as an install asks.
  const std::vector<std::vector<int>> orders = {
      {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, {0, 3, 4, 8, 9}, {9, 8, 7, 6, 5, 4, 3, 2, 1, 0}, {2, 5, 3, 4, 6, 7}};
  for (const std::string arc : {"a.1", "bad.1"})
    for (size_t o = 0; o < orders.size(); ++o) {
      std::vector<std::string> seen[2];
      for (int threads : {0, 3}) {
        TQlntCompress c(nullptr);
        c.SetUnpackAhead(threads);
        c.SetOnStatus([&](TQlntCompress*, const TlzhFileStats& st) {
          if (st.Last || st.IFBytesProcessed % 65536 == 0)
            seen[threads > 0].push_back(st.IFName + " " + std::to_string(st.IFBytesProcessed) + " " +
                                        std::to_string(st.Last));
        });
        const std::string out = s("out" + std::to_string(threads));
        for (int i : orders[o]) {
          const std::string m = Message([&] { Unpack(c, s(arc), {files[i]}, out); });
          seen[threads > 0].push_back(m);
          if (m == "<nothing raised>") EXPECT_EQ(ReadBytes(out + "\\f" + std::to_string(i)), ReadBytes(files[i]));
          else EXPECT_FALSE(FileExists(out + "\\f" + std::to_string(i)));
          RemoveFile(out + "\\f" + std::to_string(i));
        }
      }
      EXPECT_EQ(seen[0], seen[1]) << arc << " order " << o;
    }

  // A Cancel while the entry comes from a worker leaves no half file, and
  // the archive rewritten by the same component is read afresh.
  TQlntCompress c(nullptr);
  c.SetUnpackAhead(2);
  Unpack(c, s("a.1"), {files[0]}, s("cancel"));
  int aborted = 0;
  c.SetOnAborted([&](TObject*) { ++aborted; });
  c.SetOnStatus([&](TQlntCompress* q, const TlzhFileStats& st) {
    if (st.IFBytesProcessed > 100000) q->SetAbort(true);
  });
  Unpack(c, s("a.1"), {files[1], files[2], files[3]}, s("cancel"));
  EXPECT_EQ(aborted, 1);
  EXPECT_TRUE(FileExists(s("cancel\\f2")));
  EXPECT_FALSE(FileExists(s("cancel\\f3")));
  c.SetOnStatus(nullptr);
  WriteBytes(files[5], "rewritten");
  Pack(c, s("a.1"), files);
  Unpack(c, s("a.1"), {files[4], files[5]}, s("cancel"));
  EXPECT_EQ(ReadBytes(s("cancel\\f5")), "rewritten");
}

// The workers' memory is kept and handed from entry to entry: many entries,
// more than it holds at once and of sizes that span its pieces, come out
// whole, in one extraction after another by the same component.
TEST(ArchiveUnpackAhead, KeptMemoryNeverMixesEntries) {
  ScratchFolder s("kept");
  std::vector<std::string> files;
  for (unsigned i = 0; i < 48; ++i) {
    files.push_back(s("k" + std::to_string(i)));
    WriteBytes(files.back(), Payload((i * 37 % 11 + 1) * 61000 + i, i + 7));
  }
  TQlntCompress packer(nullptr);
  Pack(packer, s("k.1"), files);
  TQlntCompress c(nullptr);
  c.SetUnpackAhead(4);
  for (int pass = 0; pass < 2; ++pass)
    for (size_t i = 0; i < files.size(); ++i) {
      const std::string out = s("out" + std::to_string(pass));
      Unpack(c, s("k.1"), {files[i]}, out);
      EXPECT_TRUE(ReadBytes(out + "\\k" + std::to_string(i)) == ReadBytes(files[i])) << pass << " " << i;
    }
}
