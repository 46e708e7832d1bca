// The values of the web-install control: the byte count it shows, the page's
// numbers read the same in every locale, the earlier run's date matched
// within a second, the percentage, and the setup file's name.
#include <gtest/gtest.h>

#include "webcontrol/fetchkit_Values.h"

TEST(FetchkitValues, BytesTransferredWithThousandsSeparators) {
  EXPECT_EQ(FormatBytesTransferred(1234567), "1,234,567 bytes");
  EXPECT_EQ(FormatBytesTransferred(0), "0 bytes");
  EXPECT_EQ(FormatBytesTransferred(999), "999 bytes");
}

TEST(FetchkitValues, PageNumbersAreReadInvariantly) {
  struct Case {
    const char* text;
    bool ok;
    double value;
  } cases[] = {
      {"36526.5", true, 36526.5}, {" 36526.25 ", true, 36526.25}, {"+2", true, 2.0},
      {"36526,5", false, 0},      // a comma is no decimal point, whatever the locale
      {"", false, 0}, {"  ", false, 0}, {"1e400", false, 0}, {"12abc", false, 0}, {"nan", false, 0},
  };
  for (const Case& c : cases) {
    double v = -1;
    EXPECT_EQ(ParseInvariantFloat(c.text, v), c.ok) << c.text;
    if (c.ok) {
      EXPECT_DOUBLE_EQ(v, c.value) << c.text;
    }
  }
  int32_t n = 0;
  EXPECT_TRUE(ParseInvariantInt32(" 123456 ", n));
  EXPECT_EQ(n, 123456);
  EXPECT_FALSE(ParseInvariantInt32("1.5", n));
  EXPECT_FALSE(ParseInvariantInt32("99999999999", n));
}

TEST(FetchkitValues, SetupDatesMatchWithinOneSecond) {
  const double day = 36526.0, second = 1.0 / 86400;
  EXPECT_TRUE(SameSetupDate(day, day));
  // The page's decimal text of a day count rarely reads back bit for bit.
  double read = 0;
  ASSERT_TRUE(ParseInvariantFloat("36526.543210987654", read));
  EXPECT_TRUE(SameSetupDate(read, 36526.54321098765));
  EXPECT_TRUE(SameSetupDate(day, day + 0.9 * second));
  EXPECT_FALSE(SameSetupDate(day, day + 2.5 * second));
  EXPECT_FALSE(SameSetupDate(day, day - 1.0));
}

TEST(FetchkitValues, PercentRoundsHalfToEvenAndKnowsNoSize) {
  EXPECT_EQ(ProgressPercent(1, 200), 0);    // 0.5 -> 0
  EXPECT_EQ(ProgressPercent(3, 200), 2);    // 1.5 -> 2
  EXPECT_EQ(ProgressPercent(50, 100), 50);
  EXPECT_EQ(ProgressPercent(150, 100), 150);  // not capped
  EXPECT_EQ(ProgressPercent(12345, 0), 0);    // the server gave no size
}

TEST(FetchkitValues, OnlyAPlainFileNameIsASetupFileName) {
  struct Case {
    const char* name;
    bool plain;
  } cases[] = {
      {"setup.exe", true}, {"My Setup 2.exe", true}, {"..setup.exe", true}, {"setup..exe", true},
      {"..\\..\\Start Menu\\Programs\\Startup\\x.exe", false}, {"kit\\setup.exe", false}, {"kit/setup.exe", false},
      {"\\setup.exe", false}, {"\\\\server\\share\\setup.exe", false}, {"C:setup.exe", false},
      {"C:\\setup.exe", false}, {"setup.exe:stream", false}, {"..", false}, {".", false}, {". .", false},
      {"", false}, {"  ", false}, {"set?up.exe", false}, {"setup\".exe", false}, {"set\tup.exe", false},
      // Devices, whatever the case and the extension.
      {"CON", false}, {"NUL.exe", false}, {"COM1.exe", false}, {"lpt1", false}, {"AUX.txt", false},
      {"con .exe", false}, {"prn.setup.exe", false}, {"CONOUT$", false}, {"com1x.exe", true}, {"console.exe", true},
      {"setup.con", true}, {"lpt.exe", true},
  };
  for (const Case& c : cases) EXPECT_EQ(IsPlainFileName(c.name), c.plain) << '"' << c.name << '"';
}
