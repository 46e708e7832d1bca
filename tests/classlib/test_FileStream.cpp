#include <gtest/gtest.h>

#include "classlib/DateUtils.h"
#include "classlib/Streams.h"
#include "common/TestSupport.h"

using namespace testsupport;

TEST(FileStream, CreateWriteReopenAndErrors) {
  std::string dir = ScratchDir("fs");
  std::string f = dir + "\\data.bin";
  {
    TFileStream s(f, fmCreate);
    s.WriteBuffer("0123456789", 10);
    s.SetSize(4);
    EXPECT_EQ(s.Size(), 4);
  }
  {
    TFileStream s(f, fmOpenRead | fmShareDenyWrite);
    char buf[8] = {};
    EXPECT_EQ(s.Read(buf, 8), 4);
    EXPECT_EQ(std::string(buf, 4), "0123");
    // Another writer is refused while we deny writes.
    EXPECT_THROW(TFileStream(f, fmOpenWrite), EFOpenError);
  }
  EXPECT_THROW(TFileStream(dir + "\\missing", fmOpenRead), EFOpenError);
  EXPECT_THROW(TFileStream(dir + "\\no\\such\\x", fmCreate), EFCreateError);
  RemoveTree(dir);
}

TEST(FileDates, LocalDosDateRoundTripThroughTheFileSystem) {
  std::string dir = ScratchDir("dates");
  std::string f = dir + "\\dated.txt";
  WriteFileText(f, "x");
  int32_t dos = DateTimeToFileDate(EncodeDate(1998, 7, 4) + EncodeTime(13, 14, 16, 0));
  ASSERT_TRUE(FileSetDate(f, dos));
  EXPECT_EQ(FileAge(f), dos);
  EXPECT_EQ(FileAge(dir + "\\missing"), -1);
  EXPECT_EQ(FileAge(dir), -1);
  RemoveTree(dir);
}

TEST(StringListFiles, SaveAndLoadKeepLinesAndNames) {
  std::string dir = ScratchDir("lists");
  std::string f = dir + "\\Lines \xC3\xA9.txt";  // a UTF-8 name reaches the W calls
  TStringList l;
  l.Add("first");
  l.Add("");
  l.Add("third \xE2\x82\xAC");
  l.SaveToFile(f);
  EXPECT_EQ(ReadFileText(f), "first\r\n\r\nthird \xE2\x82\xAC\r\n");
  TStringList back;
  back.Add("old");
  back.LoadFromFile(f);
  EXPECT_EQ(back.Text(), l.Text());
  EXPECT_THROW(back.LoadFromFile(dir + "\\missing.txt"), EFOpenError);
  EXPECT_EQ(back.Count(), 3);  // a failed load changes nothing
  RemoveTree(dir);
}
