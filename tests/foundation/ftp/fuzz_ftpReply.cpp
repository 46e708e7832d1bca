// Server bytes of every kind through the reply, passive-mode, size and
// listing parsers.
#include <cstddef>
#include <cstdint>
#include <string>

#include "foundation/ftp/ftpReply.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  std::string in(reinterpret_cast<const char*>(Data), Size);
  ftpreply::TReplyAssembler a;
  for (const std::string& line : ftpreply::SplitListing(in)) {
    if (a.Add(line) || a.Overflow()) {
      (void)a.Code();
      a.Reset();
    }
    ftpreply::TPasvAddress p;
    if (ftpreply::ParsePasvReply(ftpreply::ReplyText(line), p)) (void)p.Dotted();
    (void)ftpreply::ParseSizeReply(line);
    (void)ftpreply::ReplyCode(line);
  }
  if (Size >= 4) {
    int32_t count = static_cast<int32_t>(Data[0] | (Data[1] << 8) | (Data[2] << 16) | (uint32_t(Data[3]) << 24));
    std::string rest = in.substr(4);
    size_t cut = rest.empty() ? 0 : Data[0] % (rest.size() + 1);
    int32_t r = posn(rest.substr(0, cut % 4), rest, count);
    if (count == 0 && r != 0) __builtin_trap();
  }
  return 0;
}
