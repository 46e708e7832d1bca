// What the FTP client reads from a server, taken apart without trusting it:
// reply lines, multi-line replies, the passive-mode address, the SIZE answer
// and listings. Standard library only, so it is built and fuzzed natively.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The position of the Count-th occurrence of S in T (1-based). With fewer
// occurrences the result lies beyond the end of T: the length of T plus the
// number of searches that failed. Count 0 gives 0; a negative Count counts
// from the right (-1: the last occurrence) and gives 0 when there are fewer.
int32_t posn(const std::string& S, const std::string& T, int32_t Count);

namespace ftpreply {

// The longest control line we accept, and the most lines one reply may have.
constexpr size_t MaxLineLength = 4096;
constexpr int MaxReplyLines = 1000;
// The code of a reply whose first three characters are no number, and of
// failures the client detects itself (connection lost, time-out, bad reply).
constexpr int32_t UnreadableCode = 999;

// The reply code in the line's first three characters; 999 when they are not
// three decimal digits.
int32_t ReplyCode(const std::string& Line);
// The line from its fifth character on ("" when shorter).
std::string ReplyText(const std::string& Line);

// Collects the lines of one reply. A reply whose first line reads "xyz-" goes
// on until a line that starts with the same code followed by a blank (or is
// the code alone); lines in between may carry anything. Any other first line
// is a reply of one line.
class TReplyAssembler {
public:
  // Feeds the next line; returns true once the reply is complete. Fails
  // (returns false and sets Overflow) after MaxReplyLines lines.
  bool Add(const std::string& Line);
  bool Complete() const { return FComplete; }
  bool Overflow() const { return FOverflow; }
  int32_t Code() const { return FCode; }
  // The text of the first line (from its fifth character).
  const std::string& Text() const { return FText; }
  int Lines() const { return FLines; }
  void Reset();

private:
  bool FComplete = false;
  bool FOverflow = false;
  bool FMulti = false;
  int32_t FCode = 0;
  std::string FPrefix;
  std::string FText;
  int FLines = 0;
};

// The address and port of a passive-mode reply text such as
// "Entering Passive Mode (127,0,0,1,19,137)": what follows the first "(" up
// to the first ")" after it (the whole text without a "("). Every one of the
// six numbers must be 0..255 and written in decimal digits (blanks around
// them are allowed); false otherwise. Address holds the four bytes in
// network order.
struct TPasvAddress {
  uint8_t Address[4] = {0, 0, 0, 0};
  uint16_t Port = 0;
  // The address as dotted text, "a.b.c.d".
  std::string Dotted() const;
};
bool ParsePasvReply(const std::string& Text, TPasvAddress& Out);

// Where a passive data connection goes: the control connection's peer
// (ControlPeer, network order), at the port the reply names. The reply's
// address is never followed: a server could send every client that asks it
// to probe any host and port of the client's network.
struct TDataTarget {
  uint32_t Address = 0;
  uint16_t Port = 0;
};
TDataTarget PasvDataTarget(const TPasvAddress& Reply, uint32_t ControlPeer);

// The size of a SIZE reply text: a decimal number (blanks around it allowed)
// between 0 and 2^31-1. Anything else gives 0: the size counts as unknown.
int32_t ParseSizeReply(const std::string& Text);

// The most bytes one transfer may bring (the counters are 32-bit), and the
// most that a transfer of unknown size may bring into memory: a file list, a
// listing. Real ones stay far below it.
constexpr int64_t MaxTransfer = 0x7FFFFFFF;
constexpr int64_t MaxUnsizedInMemory = 4 << 20;

// How much one transfer may bring. A size the server announced binds: more
// than it stops the transfer. Limit, when above 0, binds whatever was
// announced; UnsizedLimit, when above 0, binds only without an announced
// size. Nothing passes MaxTransfer.
struct TTransferBound {
  TTransferBound() = default;
  TTransferBound(int64_t Announced, int64_t Limit, int64_t UnsizedLimit);
  // Counts Count more bytes; false, counting nothing, when they would pass
  // Most.
  bool Take(int64_t Count);
  int64_t Most = MaxTransfer;
  // Most is the size the server announced (else a limit of ours).
  bool ByAnnounced = false;
  int64_t Received = 0;
};

// The lines of a listing: CR LF, LF or a lone CR end a line; a last line
// without an end counts too.
std::vector<std::string> SplitListing(const std::string& Data);

}  // namespace ftpreply
