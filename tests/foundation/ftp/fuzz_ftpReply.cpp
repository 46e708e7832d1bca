// Server bytes of every kind through the reply, passive-mode, size and
// listing parsers, and through the bounds of a transfer: whatever a server
// announces and sends, nothing taken passes its bound and no data connection
// goes anywhere but to the control connection's peer.
#include <cstddef>
#include <cstdint>
#include <string>

#include "foundation/ftp/ftpReply.h"

namespace {

uint32_t Word(const uint8_t* Data, size_t Size, size_t At) {
  uint32_t w = 0;
  for (size_t i = 0; i < 4; ++i) w = w << 8 | (At + i < Size ? Data[At + i] : 0);
  return w;
}

void Check(bool Holds) {
  if (!Holds) __builtin_trap();
}

// A transfer of blocks whose lengths come from the input, under the bound
// of an announced size (0: none) and two limits.
void RunBound(int64_t Announced, int64_t Limit, int64_t Unsized, const uint8_t* Data, size_t Size) {
  const ftpreply::TTransferBound b(Announced, Limit, Unsized);
  Check(b.Most >= 0 && b.Most <= ftpreply::MaxTransfer);
  if (Limit > 0) Check(b.Most <= Limit);
  if (b.ByAnnounced) Check(Announced > 0 && b.Most == Announced);
  if (Announced > 0) Check(b.Most <= Announced);
  if (Announced <= 0 && Unsized > 0) Check(b.Most <= Unsized);
  ftpreply::TTransferBound t = b;
  for (size_t i = 0; i < Size; ++i) {
    // Small blocks and, now and then, huge ones.
    int64_t count = Data[i] < 0xF0 ? Data[i] * 131 : int64_t(Data[i]) << 24;
    const int64_t before = t.Received;
    const bool took = t.Take(count);
    Check(took == (count <= t.Most - before));
    Check(t.Received == (took ? before + count : before));
    Check(t.Received <= t.Most);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  std::string in(reinterpret_cast<const char*>(Data), Size);
  const uint32_t peer = Word(Data, Size, 0);
  int64_t announced = 0;
  ftpreply::TReplyAssembler a;
  for (const std::string& line : ftpreply::SplitListing(in)) {
    if (a.Add(line) || a.Overflow()) {
      (void)a.Code();
      a.Reset();
    }
    const std::string text = ftpreply::ReplyText(line);
    ftpreply::TPasvAddress p;
    if (ftpreply::ParsePasvReply(text, p)) {
      (void)p.Dotted();
      const ftpreply::TDataTarget to = ftpreply::PasvDataTarget(p, peer);
      Check(to.Address == peer && to.Port == p.Port);
    }
    if (ftpreply::ReplyCode(line) == 213) announced = ftpreply::ParseSizeReply(text);
    (void)ftpreply::ParseSizeReply(line);
  }
  if (Size >= 8) {
    // The size a SIZE line announced (or none), a caller's bound and the
    // bound of unsized transfers in memory, then the blocks.
    const int64_t limit = static_cast<int32_t>(Word(Data, Size, 4)) >> (Data[0] & 15);
    const int64_t unsized = Data[1] & 1 ? ftpreply::MaxUnsizedInMemory : static_cast<int64_t>(Data[2]) << 8;
    RunBound(announced ? announced : static_cast<int32_t>(peer) >> (Data[3] & 31), limit, unsized, Data + 8,
             Size - 8);
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
