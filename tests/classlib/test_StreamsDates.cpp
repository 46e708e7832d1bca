#include <gtest/gtest.h>

#include <cstring>

#include "classlib/DateUtils.h"
#include "classlib/Streams.h"

TEST(DateTime, CalendarArithmeticAroundTheEpoch) {
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
  EXPECT_EQ(EncodeDate(1900, 1, 1), 2.0);
  EXPECT_EQ(EncodeDate(2000, 3, 1) - EncodeDate(2000, 2, 28), 2.0);  // 2000 is a leap year
  EXPECT_EQ(EncodeDate(1900, 3, 1) - EncodeDate(1900, 2, 28), 1.0);  // 1900 is not
  EXPECT_THROW(EncodeDate(2023, 2, 29), EConvertError);
  EXPECT_THROW(EncodeTime(24, 0, 0, 0), EConvertError);
  int y, m, d, h, mi, s, ms;
  // Whole days decode on both sides of the epoch.
  for (int year : {1, 1601, 1899}) {
    DecodeDate(EncodeDate(year, 12, 31), y, m, d);
    EXPECT_EQ(y * 10000 + m * 100 + d, year * 10000 + 1231);
  }
  for (int year : {1900, 1980, 2000, 2026, 2107, 9999}) {
    TDateTime t = EncodeDate(year, 12, 31) + EncodeTime(23, 59, 58, 0);
    DecodeDate(t, y, m, d);
    DecodeTime(t, h, mi, s, ms);
    EXPECT_EQ(y, year);
    EXPECT_EQ(m, 12);
    EXPECT_EQ(d, 31);
    EXPECT_EQ(h * 3600 + mi * 60 + s, 86398);
  }
  // Before the epoch the fraction still counts forward from midnight.
  DecodeDate(-1.25, y, m, d);
  DecodeTime(-1.25, h, mi, s, ms);
  EXPECT_EQ(d, 29);
  EXPECT_EQ(h, 6);
}

TEST(DateTime, DosDateTimesInTwoSecondSteps) {
  TDateTime t = EncodeDate(2026, 12, 8) + EncodeTime(10, 30, 17, 0);
  int32_t dos = DateTimeToFileDate(t);
  // Seconds are held in 2-second steps: 17 becomes 16.
  EXPECT_EQ(FileDateToDateTime(dos), EncodeDate(2026, 12, 8) + EncodeTime(10, 30, 16, 0));
  EXPECT_EQ(DateTimeToFileDate(EncodeDate(1979, 12, 31)), 0);
  EXPECT_THROW(FileDateToDateTime(-1), EConvertError);
  EXPECT_THROW(FileDateToDateTime(0), EConvertError);
}

TEST(DateTime, FileTimesWithoutZoneChange) {
  TDateTime t = EncodeDate(2026, 12, 8) + EncodeTime(10, 30, 16, 0);
  uint64_t ft = DateTimeToFileTime(t);
  EXPECT_NEAR(FileTimeToDateTime(ft), t, 1e-9);
  EXPECT_EQ(DateTimeToFileTime(EncodeDate(1601, 1, 1)), 0u);
  // 1970-01-01 is 116444736000000000 ticks after 1601-01-01.
  EXPECT_EQ(DateTimeToFileTime(EncodeDate(1970, 1, 1)), 116444736000000000ULL);
}

TEST(MemoryStream, GrowsSeeksAndRefusesShortReads) {
  TMemoryStream m;
  m.WriteBuffer("hello", 5);
  EXPECT_EQ(m.Size(), 5);
  m.SetPosition(10);
  m.WriteBuffer("!", 1);
  EXPECT_EQ(m.Size(), 11);
  m.SetPosition(0);
  char buf[16] = {};
  m.ReadBuffer(buf, 5);
  EXPECT_EQ(std::memcmp(buf, "hello", 5), 0);
  m.SetPosition(8);
  EXPECT_THROW(m.ReadBuffer(buf, 4), EReadError);
  EXPECT_THROW(m.Seek(-1, soBeginning), EStreamError);
  TMemoryStream copy;
  EXPECT_EQ(copy.CopyFrom(&m, 0), 11);
  EXPECT_EQ(copy.Size(), 11);
  m.SetSize(2);
  EXPECT_EQ(m.Position(), 2);
}
