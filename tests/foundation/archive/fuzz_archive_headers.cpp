// Any bytes as an archive: the header list is read, the archive checked
// whole, each entry's positions checked, and the entries that pass are
// inflated no further than their stated size.
#include <cstddef>
#include <cstdint>
#include <exception>

#include "foundation/archive/cmp_TQlntCompress.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size < 1) return 0;
  int32_t offset = Data[0] % 8;
  TMemoryStream s;
  s.Write(Data + 1, static_cast<int64_t>(Size - 1));
  TFileHeaders list;
  try {
    list.ReadHeaderInformation(&s, offset);
  } catch (const std::exception&) {
    return 0;
  }
  // The whole check names the first entry that does not fit, and only one.
  lzh::TEntryCheck why;
  const int unfit = list.FirstUnfit(offset, s.Size(), why);
  if ((unfit < 0) != (why == lzh::TEntryCheck::Fits) || unfit >= list.Count()) __builtin_trap();
  const auto* bytes = static_cast<const uint8_t*>(s.Memory());
  for (int i = 0; i < list.Count(); ++i) {
    const auto& h = list[i]->Data;
    if (!lzh::EntryFits(h, list.MultiPartition(), offset, s.Size()) || list.MultiPartition()) continue;
    if (i == unfit) __builtin_trap();  // one that fits is not the first unfit one
    try {
      TZDecompressor z;
      z.SetInput(bytes + offset + h.StartOffset, static_cast<size_t>(h.EndOffset - h.StartOffset + 1));
      unsigned char block[4096];
      int64_t total = 0;
      for (;;) {
        size_t m = z.Inflate(block, sizeof block);
        total += static_cast<int64_t>(m);
        if (m == 0 || total > h.NormalSize) break;
      }
    } catch (const std::exception&) {
    }
  }
  return 0;
}
