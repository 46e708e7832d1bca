#include <gtest/gtest.h>

#include <climits>

#include "classlib/base/TextBase.h"
#include "classlib/SysUtils.h"

TEST(Format, IntegersStringsAndHexAsTheClassLibraryWritesThem) {
  EXPECT_EQ(Format("%d files, %s", {3, "done"}), "3 files, done");
  EXPECT_EQ(Format("%5d|%-5d|%.3d", {42, 42, 7}), "   42|42   |007");
  EXPECT_EQ(Format("%d", {-7}), "-7");
  EXPECT_EQ(Format("%.4d", {-7}), "-0007");
  EXPECT_EQ(Format("%x %.4x", {255, 10}), "FF 000A");
  // A negative Integer shows as its 32-bit two's complement in hex and unsigned.
  EXPECT_EQ(Format("%x %u", {-1, -1}), "FFFFFFFF 4294967295");
  EXPECT_EQ(Format("%.2s|%8s|%-4s|", {"abcdef", "right", "l"}), "ab|   right|l   |");
  EXPECT_EQ(Format("100%%", {}), "100%");
  EXPECT_EQ(Format("%1:s %0:s", {"world", "hello"}), "hello world");
  EXPECT_EQ(Format("%*d", {4, 5}), "   5");
  EXPECT_EQ(Format("%s", {'c'}), "c");
  EXPECT_EQ(Format("%d", {9223372036854775807LL}), "9223372036854775807");
  EXPECT_EQ(Format("%d", {static_cast<long long>(-9223372036854775807LL - 1)}), "-9223372036854775808");
}

TEST(Format, FloatingPoint) {
  EXPECT_EQ(Format("%.1f%%", {12.26}), "12.3%");
  EXPECT_EQ(Format("%f", {1.0}), "1.00");
  EXPECT_EQ(Format("%.0f", {2.5}), "2");
  EXPECT_EQ(Format("%n", {1234567.891}), "1,234,567.89");
  EXPECT_EQ(Format("%.3e", {12345.0}), "1.23E+004");
  EXPECT_EQ(Format("%g", {0.5}), "0.5");
}

TEST(Format, MismatchesRaiseConvertErrorNeverUndefinedBehaviour) {
  EXPECT_THROW(Format("%d", {"text"}), EConvertError);
  EXPECT_THROW(Format("%s", {5}), EConvertError);
  EXPECT_THROW(Format("%f", {5}), EConvertError);
  EXPECT_THROW(Format("%d %d", {5}), EConvertError);
  EXPECT_THROW(Format("%", {}), EConvertError);
  EXPECT_THROW(Format("%q", {1}), EConvertError);
  EXPECT_THROW(Format("%99999999d", {1}), EConvertError);
  try {
    Format("%d", {"x"});
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message, "Format '%d' invalid or incompatible with argument");
  }
}

TEST(Exception, FormattingConstructorAndAbort) {
  Exception e("Key %s value %d", {"k", 4});
  EXPECT_EQ(e.Message, "Key k value 4");
  EXPECT_STREQ(e.what(), "Key k value 4");
  EXPECT_THROW(Abort(), EAbort);
}

TEST(StrToInt, StrictIntegersOnly) {
  EXPECT_EQ(StrToInt(" 12 "), 12);
  EXPECT_EQ(StrToInt("-5"), -5);
  EXPECT_EQ(StrToInt("$1F"), 31);
  EXPECT_THROW(StrToInt("12a"), EConvertError);
  EXPECT_THROW(StrToInt(""), EConvertError);
  EXPECT_THROW(StrToInt("99999999999999999999"), EConvertError);
  // 2^64 + 1 once wrapped around to 1.
  EXPECT_THROW(StrToInt("18446744073709551617"), EConvertError);
  EXPECT_THROW(StrToInt("9223372036854775808"), EConvertError);
  EXPECT_EQ(StrToInt("-9223372036854775808"), LLONG_MIN);
  EXPECT_EQ(StrToInt("9223372036854775807"), LLONG_MAX);
  EXPECT_EQ(StrToIntDef("x", 7), 7);
}

TEST(Strings, TrimCaseAndIdentifiers) {
  EXPECT_EQ(Trim("\t a b \r\n"), "a b");
  EXPECT_EQ(TrimLeft("  a "), "a ");
  EXPECT_EQ(TrimRight("  a "), "  a");
  EXPECT_TRUE(SameText("MainTranslator", "maintranslator"));
  EXPECT_LT(CompareText("abc", "ABD"), 0);
  EXPECT_GT(CompareText("abcd", "ABC"), 0);
  EXPECT_TRUE(IsValidIdent("_Name1"));
  EXPECT_FALSE(IsValidIdent("1Name"));
  EXPECT_FALSE(IsValidIdent("Na me"));
  EXPECT_FALSE(IsValidIdent(""));
  EXPECT_EQ(StringReplaceAll("a.b.c", ".", "::"), "a::b::c");
}

TEST(Paths, FileNamePartsWithBackslashes) {
  EXPECT_EQ(ExtractFilePath("C:\\dir\\file.txt"), "C:\\dir\\");
  EXPECT_EQ(ExtractFileDir("C:\\dir\\file.txt"), "C:\\dir");
  EXPECT_EQ(ExtractFileDir("C:\\file.txt"), "C:\\");
  EXPECT_EQ(ExtractFileName("C:\\dir\\file.txt"), "file.txt");
  EXPECT_EQ(ExtractFileName("A:setup.1"), "setup.1");
  EXPECT_EQ(ExtractFileExt("C:\\d.x\\file"), "");
  EXPECT_EQ(ExtractFileExt("file.tar.gz"), ".gz");
  EXPECT_EQ(ChangeFileExt("C:\\a\\setup.exe", ".1"), "C:\\a\\setup.1");
  EXPECT_EQ(ChangeFileExt("C:\\a.b\\setup", ".1"), "C:\\a.b\\setup.1");
}

TEST(CommandLine, BlanksSeparateQuotesGroupAndVanishNoEscapes) {
  using V = std::vector<std::string>;
  EXPECT_EQ(SplitCommandLine("prog a  b\tc"), (V{"prog", "a", "b", "c"}));
  EXPECT_EQ(SplitCommandLine("prog \"C:\\Program Files\\x\" y"), (V{"prog", "C:\\Program Files\\x", "y"}));
  // Quotes may open in the middle of a token and are removed wherever they are.
  EXPECT_EQ(SplitCommandLine("a\"b c\"d e"), (V{"ab cd", "e"}));
  // A backslash before a quote escapes nothing.
  EXPECT_EQ(SplitCommandLine("\"C:\\dir\\\" next"), (V{"C:\\dir\\", "next"}));
  EXPECT_EQ(SplitCommandLine("x \"\" y"), (V{"x", "", "y"}));
  EXPECT_EQ(SplitCommandLine("   "), V{});
  EXPECT_EQ(SplitCommandLine("open \"unterminated arg"), (V{"open", "unterminated arg"}));
}

// The shared base's text: invalid UTF-8 becomes U+FFFD one byte at a time,
// characters beyond the 16-bit plane survive the round trip, and the cuts
// keep whole characters (invalid text is cut by bytes).
TEST(TextBase, ConversionsAndCuts) {
  const std::string text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
  EXPECT_EQ(qbase::WideToUtf8(qbase::Utf8ToWide(text)), text);
  EXPECT_EQ(qbase::WideToUtf8(qbase::Utf8ToWide("x\xE9y\xC3")), "x\xEF\xBF\xBDy\xEF\xBF\xBD");
  EXPECT_EQ(qbase::WideToUtf8(qbase::Utf8ToWide("\xED\xA0\x80")), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(qbase::CutBytes(text, 5), "a\xC3\xA9");
  EXPECT_EQ(qbase::CutChars(text, 3), "a\xC3\xA9\xE2\x82\xAC");
  EXPECT_EQ(qbase::CutChars("\xC3\x80\x80\x80", 2), "\xC3\x80");
  EXPECT_EQ(qbase::CutChars("\x80\x80\x80", 2), "\x80\x80");
}
