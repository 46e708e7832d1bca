#include <gtest/gtest.h>

#include "foundation/ftp/ftpReply.h"

using namespace ftpreply;

TEST(Posn, CountsOccurrencesFromEitherEnd) {
  EXPECT_EQ(posn(",", "1,2,3", 1), 2);
  EXPECT_EQ(posn(",", "1,2,3", 2), 4);
  // Fewer occurrences: beyond the end by the number of failed searches.
  EXPECT_EQ(posn(",", "1,2,3", 3), 6);
  EXPECT_EQ(posn(",", "1,2,3", 4), 7);
  EXPECT_EQ(posn(",", "a,b,c", -1), 4);
  EXPECT_EQ(posn(",", "a,b,c", -2), 2);
  EXPECT_EQ(posn(",", "a,b,c", -3), 0);
  EXPECT_EQ(posn(",", "a,b,c", 0), 0);
  EXPECT_EQ(posn("ab", "xabab", 2), 4);
  EXPECT_EQ(posn("aa", "aaa", 2), 2);  // overlapping matches count
  EXPECT_EQ(posn(",", "", 1), 1);
  EXPECT_EQ(posn("", "abc", 1), 4);  // an empty pattern is found nowhere
  EXPECT_EQ(posn("", "abc", -1), 0);
  // Huge counts end at once and do not overflow.
  EXPECT_EQ(posn(",", "1,2", INT32_MAX), INT32_MAX);
  EXPECT_EQ(posn(",", "1,2", INT32_MIN), 0);
}

TEST(ReplyLine, CodeAndText) {
  EXPECT_EQ(ReplyCode("230 Done"), 230);
  EXPECT_EQ(ReplyText("230 Done"), "Done");
  EXPECT_EQ(ReplyCode("abc"), 999);
  EXPECT_EQ(ReplyText("abc"), "");
  EXPECT_EQ(ReplyCode("22"), 999);
  EXPECT_EQ(ReplyCode("2x0 no"), 999);
  EXPECT_EQ(ReplyCode("-12 no"), 999);
  EXPECT_EQ(ReplyText("220"), "");
  EXPECT_EQ(ReplyText("220 "), "");
}

namespace {
TReplyAssembler Feed(std::initializer_list<const char*> lines, int* consumed = nullptr) {
  TReplyAssembler a;
  int n = 0;
  for (const char* l : lines) {
    ++n;
    if (a.Add(l)) break;
  }
  if (consumed) *consumed = n;
  return a;
}
}  // namespace

TEST(ReplyAssembler, MultiLineRepliesStayInStep) {
  int used = 0;
  auto a = Feed({"230-Welcome", "230-More text", "230 Done", "200 next"}, &used);
  EXPECT_TRUE(a.Complete());
  EXPECT_EQ(used, 3);
  EXPECT_EQ(a.Code(), 230);
  EXPECT_EQ(a.Text(), "Welcome");

  // Lines without a code, or starting with anything, belong to the reply
  // until "xyz ".
  a = Feed({"220-Hello", "plain text line", " indented", "220-still", "221 other code", "220 ready", "331 x"}, &used);
  EXPECT_EQ(used, 6);
  EXPECT_EQ(a.Code(), 220);

  // An error reply of several lines is read whole as well.
  a = Feed({"530-Not logged in", "because", "530 Bye"}, &used);
  EXPECT_EQ(used, 3);
  EXPECT_EQ(a.Code(), 530);

  // The closing line may be the code alone.
  a = Feed({"211-Status", "211"}, &used);
  EXPECT_TRUE(a.Complete());
  EXPECT_EQ(used, 2);

  // One-line replies; "2300 x" is no opening either.
  a = Feed({"331 Password please", "x"}, &used);
  EXPECT_EQ(used, 1);
  a = Feed({"abc-def", "x"}, &used);
  EXPECT_EQ(used, 1);
  EXPECT_EQ(a.Code(), 999);
}

TEST(ReplyAssembler, EndlessRepliesAreCut) {
  TReplyAssembler a;
  a.Add("220-start");
  int n = 1;
  while (!a.Overflow() && n < 5000) {
    EXPECT_FALSE(a.Add("more"));
    ++n;
  }
  EXPECT_TRUE(a.Overflow());
  EXPECT_EQ(n, MaxReplyLines);
  EXPECT_FALSE(a.Add("220 end"));
}

TEST(PasvReply, AddressAndPort) {
  TPasvAddress p;
  ASSERT_TRUE(ParsePasvReply("Entering Passive Mode (192,168,0,10,19,137)", p));
  EXPECT_EQ(p.Dotted(), "192.168.0.10");
  EXPECT_EQ(p.Port, 5001);
  ASSERT_TRUE(ParsePasvReply("Entering Passive Mode (127,0,0,1,255,255).", p));
  EXPECT_EQ(p.Port, 65535);
  ASSERT_TRUE(ParsePasvReply("127,0,0,1,0,21)", p));  // without "(" from the start
  EXPECT_EQ(p.Port, 21);
  ASSERT_TRUE(ParsePasvReply("( 10, 0, 0, 1, 4, 1 )", p));
  EXPECT_EQ(p.Dotted(), "10.0.0.1");
  EXPECT_EQ(p.Port, 1025);
  // The data connection goes to the control connection's peer, never to the
  // address the reply names.
  const TDataTarget to = PasvDataTarget(p, 0x0100007F);
  EXPECT_EQ(to.Address, 0x0100007Fu);
  EXPECT_EQ(to.Port, 1025);

  for (const char* bad : {"Entering Passive Mode (127,0,0,1,19", "Entering Passive Mode (127,0,0,1,300,1)",
                          "(127,0,0,256,1,1)", "(127,0,0,1,1)", "(127,0,0,1,1,2,3)", "(127,0,0,1,-1,2)",
                          "(127,0,0,1,,2)", "(127,0,0,1,0x1,2)", "(1270,0,0,1,1,2)", "()", "", "(a,b,c,d,e,f)"}) {
    EXPECT_FALSE(ParsePasvReply(bad, p)) << bad;
  }
}

TEST(SizeReply, OnlyAPlainNumberCounts) {
  EXPECT_EQ(ParseSizeReply("5242880"), 5242880);
  EXPECT_EQ(ParseSizeReply(" 12 "), 12);
  EXPECT_EQ(ParseSizeReply("0"), 0);
  EXPECT_EQ(ParseSizeReply("2147483647"), 2147483647);
  EXPECT_EQ(ParseSizeReply("2147483648"), 0);
  EXPECT_EQ(ParseSizeReply("99999999999999999999"), 0);
  EXPECT_EQ(ParseSizeReply("-5"), 0);
  EXPECT_EQ(ParseSizeReply("12 bytes"), 0);
  EXPECT_EQ(ParseSizeReply("Could not get file size."), 0);
  EXPECT_EQ(ParseSizeReply(""), 0);
}

TEST(TransferBound, TheAnnouncedSizeAndTheLimitsBind) {
  const int64_t mem = MaxUnsizedInMemory;
  struct Row {
    int64_t announced, limit, unsized, most;
    bool byAnnounced;
  } rows[] = {
      {148, 0, mem, 148, true},           // a size binds, however small
      {100000000, 0, mem, 100000000, true},  // ... and however large
      {0, 0, mem, mem, false},            // none: the bound of memory
      {0, 0, 0, MaxTransfer, false},      // none, to a file: only the counters'
      {5000, 1000, 0, 1000, false},       // the caller's bound below the size
      {500, 1000, 0, 500, true},
      {0, 1000, mem, 1000, false},
      {-1, -1, -1, MaxTransfer, false},   // nonsense counts as nothing
  };
  for (const Row& r : rows) {
    TTransferBound b(r.announced, r.limit, r.unsized);
    EXPECT_EQ(b.Most, r.most) << r.announced << " " << r.limit << " " << r.unsized;
    EXPECT_EQ(b.ByAnnounced, r.byAnnounced) << r.announced << " " << r.limit;
    // Up to the bound exactly; one byte more is refused and not counted.
    if (r.most > 1 << 30) continue;
    EXPECT_TRUE(b.Take(r.most - 1));
    EXPECT_TRUE(b.Take(1));
    EXPECT_FALSE(b.Take(1));
    EXPECT_EQ(b.Received, r.most);
  }
  TTransferBound b(100, 0, 0);
  EXPECT_FALSE(b.Take(-1));
  EXPECT_FALSE(b.Take(101));
  EXPECT_EQ(b.Received, 0);
}

TEST(Listing, LineEnds) {
  using V = std::vector<std::string>;
  EXPECT_EQ(SplitListing("a\r\nb\nc\rd"), (V{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitListing("a\r\n\r\nb\r\n"), (V{"a", "", "b"}));
  EXPECT_EQ(SplitListing(""), V{});
  EXPECT_EQ(SplitListing(std::string("x\0y\n", 4)), V{std::string("x\0y", 3)});
}
