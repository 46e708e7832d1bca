#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <cstring>
#include <fstream>
#include <iterator>

#include "loader/LoaderCore.h"
#include "loader/LoaderTestArchive.h"

using namespace loader;
using namespace loadertest;

namespace {

std::string ErrorOf(const std::function<void()>& F) {
  try {
    F();
  } catch (const ELoader& e) {
    return e.Message();
  }
  return "(no error)";
}

const std::string NoFiles =
    "There are no files in the archive in SETUP.1. There should at least be your installation project executable";
const std::string TooMany =
    "LOADER: Sorry... You can only have 49 files in the PresetupFiles property of the TInstall. If you want to have "
    "more you can modify the MaxFiles constant in the QuillantLoadProgram project in the Quillant directory";

TArchiveRange Whole(const std::vector<uint8_t>& A) { return {0, static_cast<int64_t>(A.size()) - 1}; }

// A source that remembers the furthest byte anyone asked for.
class TWatchedSource : public TMemorySource {
public:
  using TMemorySource::TMemorySource;
  int64_t Furthest = -1;
  size_t ReadAt(int64_t Position, void* Buffer, size_t Count) override {
    size_t n = TMemorySource::ReadAt(Position, Buffer, Count);
    if (n) Furthest = std::max(Furthest, Position + static_cast<int64_t>(n) - 1);
    return n;
  }
};

void ExtractAll(const std::vector<uint8_t>& A, TMemorySink& Sink, const std::string& Folder = "C:\\Work") {
  TMemorySource src(A.data(), A.size());
  auto headers = ReadFileHeaders(src, Whole(A));
  ExtractFiles(src, Whole(A), headers, Folder, Sink);
}

lzh::TSelfExtractInfo TrailerOf(const std::vector<uint8_t>& File) {
  TMemorySource src(File.data(), File.size());
  return ReadSelfExtractInfo(src);
}

}  // namespace

TEST(LoaderTrailer, MarkerMustMatchExactlyAndCaseSensitively) {
  std::vector<uint8_t> file(1000, 0x55);
  uint8_t t[lzh::kTrailerSize];
  lzh::EncodeTrailer(lzh::MakeSelfExtractInfo(100, 899, 0, 0), t);
  std::memcpy(file.data() + file.size() - sizeof t, t, sizeof t);
  auto info = TrailerOf(file);
  EXPECT_TRUE(lzh::IsSelfExtracting(info));
  EXPECT_EQ(info.Setup1StartOffset, 100);
  EXPECT_EQ(info.Setup1EndOffset, 899);

  auto lower = file;
  lower[file.size() - 56 + 1] = 's';  // "sELFEXTRACTING"
  EXPECT_FALSE(lzh::IsSelfExtracting(TrailerOf(lower)));
  auto longer = file;
  longer[file.size() - 56] = 15;  // the right characters, the wrong length
  EXPECT_FALSE(lzh::IsSelfExtracting(TrailerOf(longer)));
  auto shorter = file;
  shorter[file.size() - 56] = 13;
  EXPECT_FALSE(lzh::IsSelfExtracting(TrailerOf(shorter)));
}

TEST(LoaderTrailer, FileShorterThanTrailerHasNoTrailer) {
  uint8_t t[lzh::kTrailerSize];
  lzh::EncodeTrailer(lzh::MakeSelfExtractInfo(0, 10, 0, 0), t);
  std::vector<uint8_t> exact(t, t + sizeof t);
  EXPECT_TRUE(lzh::IsSelfExtracting(TrailerOf(exact)));
  std::vector<uint8_t> cut(t + 1, t + sizeof t);  // 55 bytes
  auto info = TrailerOf(cut);
  EXPECT_FALSE(lzh::IsSelfExtracting(info));
  EXPECT_EQ(info.Setup1StartOffset, 0);
  EXPECT_EQ(info.Setup1EndOffset, 0);
  EXPECT_FALSE(lzh::IsSelfExtracting(TrailerOf({})));
}

TEST(LoaderTrailer, OffsetsOutsideTheFileAreAnError) {
  auto info = lzh::MakeSelfExtractInfo(100, 899, 0, 0);
  auto r = SelfExtractRange(info, 1000, "C:\\setup.exe");
  EXPECT_EQ(r.Start, 100);
  EXPECT_EQ(r.End, 899);
  EXPECT_EQ(SelfExtractRange(lzh::MakeSelfExtractInfo(0, 999, 0, 0), 1000, "x").End, 999);
  std::string msg = ErrorOf([&] { SelfExtractRange(lzh::MakeSelfExtractInfo(100, 1000, 0, 0), 1000, "C:\\s.exe"); });
  EXPECT_NE(msg.find("C:\\s.exe"), std::string::npos) << msg;
  EXPECT_NE(msg.find("outside the file"), std::string::npos) << msg;
  EXPECT_NE(ErrorOf([] { SelfExtractRange(lzh::MakeSelfExtractInfo(-1, 10, 0, 0), 1000, "x"); }), "(no error)");
  EXPECT_NE(ErrorOf([] { SelfExtractRange(lzh::MakeSelfExtractInfo(500, 400, 0, 0), 1000, "x"); }), "(no error)");
}

TEST(LoaderCommandLine, ToDiskInAnyCaseBeatsTheTrailer) {
  EXPECT_TRUE(IsToDisk(SplitArguments("setup.exe *TODISK")));
  EXPECT_TRUE(IsToDisk(SplitArguments("\"C:\\a b\\setup.exe\" *todisk")));
  EXPECT_TRUE(IsToDisk(SplitArguments("setup.exe *ToDisk more")));
  EXPECT_FALSE(IsToDisk(SplitArguments("setup.exe")));
  EXPECT_FALSE(IsToDisk(SplitArguments("setup.exe TODISK")));
  EXPECT_FALSE(IsToDisk(SplitArguments("setup.exe *TODISKS")));
  EXPECT_FALSE(IsToDisk(SplitArguments("setup.exe \"\" *TODISK")));
  EXPECT_FALSE(IsToDisk(SplitArguments("setup.exe *SELFEXTRACT")));
  EXPECT_STREQ(ModeWord(true, true), "TODISK");
  EXPECT_STREQ(ModeWord(true, false), "TODISK");
  EXPECT_STREQ(ModeWord(false, true), "SELFEXTRACT");
  EXPECT_STREQ(ModeWord(false, false), "NOTSELFEXTRACT");
}

TEST(LoaderCommandLine, PathTokensAreQuotedAndSplitBackAsTheSetupProgramReadsThem) {
  std::string line = SetupCommandLine("C:\\Temp Dir\\qnt1A\\Quillant20.exe", "SELFEXTRACT", "my setup.exe",
                                      "C:\\Program Downloads");
  EXPECT_EQ(line, "\"C:\\Temp Dir\\qnt1A\\Quillant20.exe\" *SELFEXTRACT \"my setup.exe\" \"C:\\Program Downloads\"");
  auto args = SplitArguments(line);
  ASSERT_EQ(args.size(), 4u);
  EXPECT_EQ(args[0], "C:\\Temp Dir\\qnt1A\\Quillant20.exe");
  EXPECT_EQ(args[1], "*SELFEXTRACT");
  EXPECT_EQ(args[2], "my setup.exe");
  EXPECT_EQ(args[3], "C:\\Program Downloads");
}

TEST(LoaderCommandLine, DriveRootPassesTheDriveAlone) {
  EXPECT_EQ(ExtractDir("A:\\setup.exe"), "A:");
  EXPECT_EQ(ExtractName("A:\\setup.exe"), "setup.exe");
  EXPECT_EQ(DirectoryWBS(ExtractDir("A:\\setup.exe")) + "setup.1", "A:\\setup.1");
  EXPECT_EQ(ExtractDir("C:\\dist\\disk 1\\setup.exe"), "C:\\dist\\disk 1");
  auto args = SplitArguments(SetupCommandLine("C:\\T\\qnt1\\Q.exe", "NOTSELFEXTRACT", "setup.exe", "A:"));
  ASSERT_EQ(args.size(), 4u);
  EXPECT_EQ(args[3], "A:");
  EXPECT_EQ(DirectoryWOBS("C:\\a\\"), "C:\\a");
  EXPECT_EQ(DirectoryWOBS("C:\\a"), "C:\\a");
  EXPECT_EQ(DirectoryWBS(""), "");
  EXPECT_EQ(ExtractName("C:\\x/y\\z.exe"), "z.exe");
  EXPECT_EQ(ExtractName("D:z.exe"), "z.exe");
}

TEST(LoaderCommandLine, LongLinesAreBuiltAndOnlyRefusedBeyondTheSystemLimit) {
  // The old fixed 300-character buffer would have cut this one.
  std::string deep = "C:\\" + std::string(400, 'd');
  std::string line = SetupCommandLine(deep + "\\Q.exe", "SELFEXTRACT", "setup.exe", deep);
  EXPECT_GT(line.size(), 800u);
  EXPECT_EQ(SplitArguments(line)[3], deep);

  // "" *SELFEXTRACT "setup.exe" "" has 30 characters besides the two paths.
  std::string fits(MaxCommandLine - 30 - 3, 'p');
  EXPECT_EQ(Utf16Length(SetupCommandLine(fits, "SELFEXTRACT", "setup.exe", "abc")), MaxCommandLine);
  std::string msg = ErrorOf([&] { SetupCommandLine(fits, "SELFEXTRACT", "setup.exe", "abcd"); });
  EXPECT_NE(msg.find("32767 characters"), std::string::npos) << msg;
  EXPECT_NE(msg.find("command line"), std::string::npos) << msg;

  EXPECT_EQ(Utf16Length("a\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80"), 1u + 1 + 1 + 2);
}

TEST(LoaderHeaders, FiftyEntriesAreAcceptedAndFiftyOneRefusedBeforeAnyHeaderIsRead) {
  std::vector<TEntry> entries;
  for (int i = 0; i < 50; ++i) entries.push_back({"F" + std::to_string(i) + ".txt", "data " + std::to_string(i)});
  auto a = BuildArchive(entries);
  TMemorySink sink;
  ExtractAll(a, sink);
  EXPECT_EQ(sink.Order.size(), 50u);
  EXPECT_EQ(sink.Files["C:\\Work\\F49.txt"].Data, "data 49");

  entries.push_back({"F50.txt", "one too many"});
  auto b = BuildArchive(entries);
  TWatchedSource src(b.data(), b.size());
  EXPECT_EQ(ErrorOf([&] { ReadFileHeaders(src, Whole(b)); }), TooMany);
  EXPECT_LT(src.Furthest, 5);
}

TEST(LoaderHeaders, CountOfZeroOrBelowMeansNoFiles) {
  for (int32_t count : {0, -1, INT32_MIN}) {
    auto a = BuildArchive({{"Q.exe", "x"}}, count);
    TMemorySource src(a.data(), a.size());
    EXPECT_EQ(ErrorOf([&] { ReadFileHeaders(src, Whole(a)); }), NoFiles) << count;
  }
}

TEST(LoaderHeaders, ShortOrBrokenHeaderAreasGiveTheirMessages) {
  auto a = BuildArchive({{"Q.exe", "x"}, {"R.txt", "y"}});
  std::vector<uint8_t> three(a.begin(), a.begin() + 3);
  std::vector<uint8_t> four(a.begin(), a.begin() + 4);
  TMemorySource s3(three.data(), three.size()), s4(four.data(), four.size());
  EXPECT_EQ(ErrorOf([&] { ReadFileHeaders(s3, Whole(three)); }),
            "LOADER: Could not read the number of files in the archive from SETUP.1");
  EXPECT_EQ(ErrorOf([&] { ReadFileHeaders(s4, Whole(four)); }),
            "LOADER: Could not read the multi-partition flag in the archive file from SETUP.1");

  const std::string bad = "LOADER: Cannot read a file header in the archive file from SETUP.1";
  auto more = BuildArchive({{"Q.exe", "x"}}, 3);  // claims more entries than it has
  TMemorySource sm(more.data(), more.size());
  EXPECT_EQ(ErrorOf([&] { ReadFileHeaders(sm, Whole(more)); }), bad);

  auto badName = a;
  badName[5 + 20] = 101;  // a name longer than its field: no header of ours
  TMemorySource sb(badName.data(), badName.size());
  EXPECT_EQ(ErrorOf([&] { ReadFileHeaders(sb, Whole(badName)); }), bad);

  // A header may not be read from beyond the archive's range, even when the
  // file goes on (the files.1 of a self-extracting file follows setup.1).
  auto cut = a;
  ChangeHeader(cut, 0, [](lzh::TlzhFileHeader& h) { h.NextHeaderOffset = 100000; });
  cut.resize(200000, 0);
  TMemorySource sc(cut.data(), cut.size());
  EXPECT_EQ(ErrorOf([&] { ReadFileHeaders(sc, {0, static_cast<int64_t>(a.size()) - 1}); }), bad);
}

TEST(LoaderExtract, ArchiveOfTheIndependentWriter) {
  std::ifstream f("loaderdata/reference.1", std::ios::binary);
  ASSERT_TRUE(f.good()) << "loaderdata/reference.1 is made by tests/loader/write_setup1.py at build time";
  std::vector<uint8_t> a((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  // Placed inside a larger file, as setup.1 is inside setup.exe.
  std::vector<uint8_t> file(40000 + a.size() + 500, 0xDD);
  std::fill(file.begin(), file.begin() + 40000, 0xCC);
  std::copy(a.begin(), a.end(), file.begin() + 40000);
  TArchiveRange range{40000, 40000 + static_cast<int64_t>(a.size()) - 1};
  TMemorySource src(file.data(), file.size());
  auto headers = ReadFileHeaders(src, range);
  ASSERT_EQ(headers.size(), 4u);
  TMemorySink sink;
  ExtractFiles(src, range, headers, "C:\\T\\qnt12", sink);

  std::string bytes;
  for (int i = 0; i < 40; ++i)
    for (int c = 0; c < 256; ++c) bytes.push_back(static_cast<char>(c));
  ASSERT_EQ(sink.Order.size(), 4u);
  EXPECT_EQ(sink.Order[0], "C:\\T\\qnt12\\First.txt");
  EXPECT_EQ(sink.Order[1], "C:\\T\\qnt12\\Second.bin");
  EXPECT_EQ(sink.Order[2], "C:\\T\\qnt12\\Empty.txt");
  EXPECT_EQ(sink.Files["C:\\T\\qnt12\\Second.bin"].Data, bytes);
  // Two entries with the same name part: the later one wins.
  EXPECT_EQ(sink.Files["C:\\T\\qnt12\\First.txt"].Data, "the later entry of the same name wins\r\n");
  EXPECT_EQ(sink.Files.size(), 3u);
  EXPECT_EQ(sink.Files["C:\\T\\qnt12\\Empty.txt"].Data, "");
  EXPECT_TRUE(sink.Files["C:\\T\\qnt12\\Empty.txt"].Closed);

  // Stored dates reach the sink and convert to the DOS date of the writer's text.
  uint32_t dos = 0;
  ASSERT_TRUE(DateTimeToDosDateTime(sink.Files["C:\\T\\qnt12\\Second.bin"].Date, dos));
  EXPECT_EQ(dos >> 25, 1999u - 1980);
  EXPECT_EQ((dos >> 21) & 15, 12u);
  EXPECT_EQ((dos >> 16) & 31, 31u);
  EXPECT_EQ((dos >> 11) & 31, 23u);
  EXPECT_EQ((dos >> 5) & 63, 59u);
  EXPECT_EQ((dos & 31) * 2, 58u);
  ASSERT_TRUE(DateTimeToDosDateTime(sink.Files["C:\\T\\qnt12\\First.txt"].Date, dos));
  EXPECT_EQ(dos, (25u << 25) | (5u << 21) | (5u << 16) | (5u << 11) | (5u << 5) | 2u);  // 2005-05-05 05:05:04

  ASSERT_FALSE(sink.ProgressSeen.empty());
  EXPECT_EQ(sink.ProgressSeen.back(), 100);
  for (size_t i = 1; i < sink.ProgressSeen.size(); ++i) EXPECT_GT(sink.ProgressSeen[i], sink.ProgressSeen[i - 1]);
}

TEST(LoaderExtract, ZeroSizeEntriesMakeEmptyFilesAndLeaveProgressAtZero) {
  auto a = BuildArchive({{"Q.exe", ""}, {"E.txt", ""}});
  TMemorySink sink;
  ExtractAll(a, sink);
  EXPECT_EQ(sink.Files.size(), 2u);
  EXPECT_EQ(sink.Files["C:\\Work\\E.txt"].Data, "");
  for (int p : sink.ProgressSeen) EXPECT_EQ(p, 0);
  EXPECT_EQ(ProgressPercent(0, 0), 0);
  EXPECT_EQ(ProgressPercent(10, 0), 0);
  EXPECT_EQ(ProgressPercent(1, 200), 0);  // 0.5: half to even
  EXPECT_EQ(ProgressPercent(3, 200), 2);  // 1.5
  EXPECT_EQ(ProgressPercent(5, 200), 2);  // 2.5
  EXPECT_EQ(ProgressPercent(300, 200), 100);
  // Sizes past 2 GiB in total do not wrap.
  EXPECT_EQ(ProgressPercent(int64_t{3} << 30, int64_t{6} << 30), 50);
}

TEST(LoaderExtract, StreamAndRangeMustEndTogether) {
  std::string big(200000, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 7919) >> 5);
  auto good = BuildArchive({{"Q.exe", big}, {"R.txt", "tail"}});
  TMemorySink ok;
  ExtractAll(good, ok);
  EXPECT_EQ(ok.Files["C:\\Work\\Q.exe"].Data, big);

  // The range ends before the stream does: an incomplete file, not a success.
  auto early = good;
  ChangeHeader(early, 0, [](lzh::TlzhFileHeader& h) { h.EndOffset -= 10; });
  TMemorySink s1;
  std::string msg = ErrorOf([&] { ExtractAll(early, s1); });
  EXPECT_EQ(msg, "LOADER: The file Q.exe in SETUP.1 is damaged: its compressed data end before the file does");
  EXPECT_TRUE(s1.Files["C:\\Work\\Q.exe"].Closed);
  EXPECT_EQ(s1.Files.count("C:\\Work\\R.txt"), 0u);

  // The stream ends before the range does.
  auto late = good;
  ChangeHeader(late, 0, [](lzh::TlzhFileHeader& h) { h.EndOffset += 10; });
  TMemorySink s2;
  EXPECT_EQ(ErrorOf([&] { ExtractAll(late, s2); }),
            "LOADER: The file Q.exe in SETUP.1 is damaged: more data follow the end of its compressed data");

  // A range past the archive's end (a truncated setup.1).
  std::vector<uint8_t> cut(good.begin(), good.end() - 3);
  TMemorySink s3;
  EXPECT_EQ(ErrorOf([&] { ExtractAll(cut, s3); }),
            "LOADER: The file R.txt in SETUP.1 is damaged: its data lie outside the archive");

  auto before = good;
  ChangeHeader(before, 1, [](lzh::TlzhFileHeader& h) { h.StartOffset = -1000; });
  TMemorySink s4;
  EXPECT_EQ(ErrorOf([&] { ExtractAll(before, s4); }),
            "LOADER: The file R.txt in SETUP.1 is damaged: its data lie outside the archive");

  // An empty range holds no stream at all.
  auto empty = good;
  ChangeHeader(empty, 1, [](lzh::TlzhFileHeader& h) { h.EndOffset = h.StartOffset - 1; });
  TMemorySink s5;
  EXPECT_NE(ErrorOf([&] { ExtractAll(empty, s5); }).find("end before the file does"), std::string::npos);

  // Data beyond the header's size stop there (nothing past it is written);
  // data short of it fail too.
  for (int32_t stated : {1000, 300000}) {
    auto wrong = good;
    ChangeHeader(wrong, 0, [&](lzh::TlzhFileHeader& h) { h.NormalSize = stated; });
    TMemorySink s6;
    EXPECT_EQ(ErrorOf([&] { ExtractAll(wrong, s6); }),
              "LOADER: The file Q.exe in SETUP.1 is damaged: it does not decompress to the " + std::to_string(stated) +
                  " bytes its header gives");
    EXPECT_LE(s6.Files["C:\\Work\\Q.exe"].Data.size(), static_cast<size_t>(stated));
    EXPECT_TRUE(s6.Files["C:\\Work\\Q.exe"].Closed);
  }
  // A negative size is no size: that header is damaged, and nothing is
  // written, not even the entries before it.
  auto negative = good;
  ChangeHeader(negative, 1, [](lzh::TlzhFileHeader& h) { h.NormalSize = -1; });
  TMemorySink s7;
  EXPECT_EQ(ErrorOf([&] { ExtractAll(negative, s7); }),
            "LOADER: The header of the file R.txt in SETUP.1 is damaged: it gives a negative size");
  EXPECT_TRUE(s7.Files.empty());
}

TEST(LoaderExtract, CorruptDataAndFailingOutputs) {
  auto a = BuildArchive({{"Q.exe", std::string(10000, 'q')}});
  lzh::TlzhFileHeader h;
  lzh::DecodeHeader(a.data() + 5, h);
  auto corrupt = a;
  corrupt[static_cast<size_t>(h.StartOffset) + 2] ^= 0xFF;
  corrupt[static_cast<size_t>(h.StartOffset) + 3] ^= 0xFF;
  TMemorySink s1;
  EXPECT_EQ(ErrorOf([&] { ExtractAll(corrupt, s1); }).rfind(
                "LOADER: The file Q.exe in SETUP.1 is damaged: its compressed data are not valid (zlib error: ", 0),
            0u);

  TMemorySink full;
  full.WriteLimit = 5000;
  EXPECT_EQ(ErrorOf([&] { ExtractAll(a, full, "D:\\Tmp"); }),
            "LOADER: Could not write to the file D:\\Tmp\\Q.exe. This probably means that your disk is full");

  TMemorySink noCreate;
  noCreate.FailCreate = true;
  EXPECT_EQ(ErrorOf([&] { ExtractAll(a, noCreate, "D:\\Tmp\\"); }),
            "LOADER: Could not create the following file, D:\\Tmp\\Q.exe");
}

// An entry named after a device would open the device: it is refused as a
// file that cannot be made, before anything is asked of the sink.
TEST(LoaderExtract, DeviceNamesAreRefused) {
  for (const std::string name : {"NUL", "AUX", "COM1", "aux.txt", "sub\\lpt9.log", "COM\xC2\xB9", "LPT\xC2\xB3.dat",
                                 "con .txt"}) {
    auto a = BuildArchive({{name, "data"}});
    TMemorySink sink;
    std::string base = ExtractName(name);
    EXPECT_EQ(ErrorOf([&] { ExtractAll(a, sink, "C:\\Work"); }),
              "LOADER: Could not create the following file, C:\\Work\\" + base)
        << name;
    EXPECT_TRUE(sink.Order.empty()) << name;
  }
  // Names that only look alike are files.
  for (const std::string name : {"COM10", "console.txt", "nul1", "LPT\xC2\xB4"}) {
    auto a = BuildArchive({{name, "data"}});
    TMemorySink sink;
    ExtractAll(a, sink);
    EXPECT_EQ(sink.Order.size(), 1u) << name;
  }
}

// The start failure names the number WinExec would have returned.
TEST(LoaderCommandLine, StartFailureNamesTheWinExecResult) {
  const std::string text = "LOADER: Could not run the installation executable file. The WinExec return was ";
  EXPECT_EQ(StartFailureMessage(2), text + "2");
  EXPECT_EQ(StartFailureMessage(3), text + "3");
  EXPECT_EQ(StartFailureMessage(193), text + "11");  // ERROR_BAD_EXE_FORMAT
  EXPECT_EQ(StartFailureMessage(5), text + "5");
}

TEST(LoaderWorkFolder, ReservedNameWithoutItsExtension) {
  EXPECT_EQ(WorkFolderFromTempName("C:\\TEMP\\qnt1A2B.tmp"), "C:\\TEMP\\qnt1A2B");
  EXPECT_EQ(WorkFolderFromTempName("C:\\my.temp\\qnt1A2B"), "C:\\my.temp\\qnt1A2B");
  const std::string err = "LOADER: Could not find the temporary directory on this computer";
  EXPECT_EQ(ErrorOf([] { WorkFolderFromTempName(""); }), err);
  EXPECT_EQ(ErrorOf([] { WorkFolderFromTempName("   "); }), err);
  EXPECT_EQ(ErrorOf([] { WorkFolderFromTempName("  .tmp"); }), err);
}

TEST(LoaderDates, LocalDateTimeToDosDateTime) {
  uint32_t d = 0;
  // 2001-02-03 04:05:06 = 36925 + (4*3600+5*60+6)/86400
  ASSERT_TRUE(DateTimeToDosDateTime(36925.0 + 14706.0 / 86400.0, d));
  EXPECT_EQ(d, (21u << 25) | (2u << 21) | (3u << 16) | (4u << 11) | (5u << 5) | 3u);
  // An odd second goes down to the even one.
  ASSERT_TRUE(DateTimeToDosDateTime(36925.0 + 14707.0 / 86400.0, d));
  EXPECT_EQ(d & 31, 3u);
  // 1980-01-01 00:00:00 is the first DOS date.
  ASSERT_TRUE(DateTimeToDosDateTime(29221.0, d));
  EXPECT_EQ(d, (1u << 21) | (1u << 16));
  // A time a hair before midnight rounds into the next day, whole.
  ASSERT_TRUE(DateTimeToDosDateTime(36925.0 - 1e-10, d));
  EXPECT_EQ(d, (21u << 25) | (2u << 21) | (3u << 16));
  // 2000-02-29 (a leap day).
  ASSERT_TRUE(DateTimeToDosDateTime(36585.5, d));
  EXPECT_EQ(d, (20u << 25) | (2u << 21) | (29u << 16) | (12u << 11));
  EXPECT_FALSE(DateTimeToDosDateTime(29220.99, d));  // 1979
  EXPECT_FALSE(DateTimeToDosDateTime(75972.0, d));   // 2108
  EXPECT_FALSE(DateTimeToDosDateTime(-5.25, d));
  EXPECT_FALSE(DateTimeToDosDateTime(std::nan(""), d));
}
