#include "foundation/ftp/ftpReply.h"

#include <limits>

int32_t posn(const std::string& S, const std::string& T, int32_t Count) {
  if (Count == 0) return 0;
  if (Count > 0) {
    // An empty pattern is found nowhere, as the class library's Pos has it.
    int64_t failed = 0;
    size_t rest = 0;  // start of the remaining text in T
    for (int64_t i = 0; i < Count; ++i) {
      size_t at = S.empty() || rest >= T.size() ? std::string::npos : T.find(S, rest);
      if (at == std::string::npos) {
        // Every further search fails as well.
        failed += Count - i;
        rest = T.size();
        break;
      }
      rest = at + 1;
    }
    int64_t r = static_cast<int64_t>(T.size()) + failed - static_cast<int64_t>(T.size() - rest);
    return r > std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max() : static_cast<int32_t>(r);
  }
  if (S.empty() || S.size() > T.size()) return 0;
  int64_t want = -static_cast<int64_t>(Count);
  size_t from = T.size() - S.size();
  for (;;) {
    size_t at = T.rfind(S, from);
    if (at == std::string::npos) return 0;
    if (--want == 0) return static_cast<int32_t>(at + 1);
    if (at == 0) return 0;
    from = at - 1;
  }
}

namespace ftpreply {

namespace {
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
}  // namespace

int32_t ReplyCode(const std::string& Line) {
  if (Line.size() < 3 || !IsDigit(Line[0]) || !IsDigit(Line[1]) || !IsDigit(Line[2])) return UnreadableCode;
  return (Line[0] - '0') * 100 + (Line[1] - '0') * 10 + (Line[2] - '0');
}

std::string ReplyText(const std::string& Line) { return Line.size() > 4 ? Line.substr(4) : std::string(); }

void TReplyAssembler::Reset() { *this = TReplyAssembler(); }

bool TReplyAssembler::Add(const std::string& Line) {
  if (FComplete || FOverflow) return FComplete;
  ++FLines;
  if (FLines == 1) {
    FCode = ReplyCode(Line);
    FText = ReplyText(Line);
    // "xyz-" opens a reply of several lines; it ends at "xyz " (or "xyz"
    // alone). A line of three letters followed by "-" is no reply opening.
    FMulti = FCode != UnreadableCode && Line.size() >= 4 && Line[3] == '-';
    FPrefix = Line.substr(0, 3);
    FComplete = !FMulti;
    return FComplete;
  }
  if (Line.size() >= 3 && Line.compare(0, 3, FPrefix) == 0 && (Line.size() == 3 || Line[3] == ' ')) {
    FComplete = true;
    return true;
  }
  if (FLines >= MaxReplyLines) FOverflow = true;
  return false;
}

std::string TPasvAddress::Dotted() const {
  return std::to_string(Address[0]) + "." + std::to_string(Address[1]) + "." + std::to_string(Address[2]) + "." +
         std::to_string(Address[3]);
}

namespace {
// One number of 0..255 in decimal digits, blanks around it allowed.
bool ParseByte(const std::string& s, uint8_t& out) {
  size_t b = s.find_first_not_of(' ');
  size_t e = s.find_last_not_of(' ');
  if (b == std::string::npos) return false;
  if (e - b + 1 > 3) return false;
  int v = 0;
  for (size_t i = b; i <= e; ++i) {
    if (!IsDigit(s[i])) return false;
    v = v * 10 + (s[i] - '0');
  }
  if (v > 255) return false;
  out = static_cast<uint8_t>(v);
  return true;
}
}  // namespace

bool ParsePasvReply(const std::string& Text, TPasvAddress& Out) {
  std::string inner;
  size_t open = Text.find('(');
  size_t start = open == std::string::npos ? 0 : open + 1;
  size_t close = Text.find(')', start);
  if (close == std::string::npos) return false;
  inner = Text.substr(start, close - start);
  uint8_t n[6];
  size_t pos = 0;
  for (int i = 0; i < 6; ++i) {
    size_t comma = inner.find(',', pos);
    if ((i < 5) != (comma != std::string::npos)) return false;  // exactly five commas
    std::string part = inner.substr(pos, i < 5 ? comma - pos : std::string::npos);
    if (!ParseByte(part, n[i])) return false;
    pos = i < 5 ? comma + 1 : inner.size();
  }
  for (int i = 0; i < 4; ++i) Out.Address[i] = n[i];
  Out.Port = static_cast<uint16_t>(n[4] * 256 + n[5]);
  return true;
}

TDataTarget PasvDataTarget(const TPasvAddress& Reply, uint32_t ControlPeer) {
  TDataTarget t;
  t.Address = ControlPeer;
  t.Port = Reply.Port;
  return t;
}

TTransferBound::TTransferBound(int64_t Announced, int64_t Limit, int64_t UnsizedLimit) {
  if (Limit > 0 && Limit < Most) Most = Limit;
  if (Announced > 0 && Announced <= Most) {
    Most = Announced;
    ByAnnounced = true;
  } else if (Announced <= 0 && UnsizedLimit > 0 && UnsizedLimit < Most) {
    Most = UnsizedLimit;
  }
}

bool TTransferBound::Take(int64_t Count) {
  if (Count < 0 || Count > Most - Received) return false;
  Received += Count;
  return true;
}

int32_t ParseSizeReply(const std::string& Text) {
  size_t b = Text.find_first_not_of(' ');
  size_t e = Text.find_last_not_of(' ');
  if (b == std::string::npos) return 0;
  int64_t v = 0;
  for (size_t i = b; i <= e; ++i) {
    if (!IsDigit(Text[i])) return 0;
    v = v * 10 + (Text[i] - '0');
    if (v > std::numeric_limits<int32_t>::max()) return 0;
  }
  return static_cast<int32_t>(v);
}

std::vector<std::string> SplitListing(const std::string& Data) {
  std::vector<std::string> lines;
  std::string cur;
  for (size_t i = 0; i < Data.size(); ++i) {
    char c = Data[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(cur);
      cur.clear();
      if (c == '\r' && i + 1 < Data.size() && Data[i + 1] == '\n') ++i;
    } else {
      cur += c;
    }
  }
  if (!cur.empty()) lines.push_back(cur);
  return lines;
}

}  // namespace ftpreply
