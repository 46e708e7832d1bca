// Any bytes as filelist.lst, read as a stream of unknown length and as a file
// of known size: every record handed over is re-encoded when it fits.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "foundation/archive/lzhFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  for (int64_t known : {static_cast<int64_t>(Size), int64_t{-1}}) {
    size_t pos = 0;
    int taken = 0;
    lzh::ReadFileList(
        [&](uint8_t* p, size_t n) {
          size_t m = n < Size - pos ? n : Size - pos;
          if (m > 0) std::memcpy(p, Data + pos, m);
          pos += m;
          return m;
        },
        known,
        [&](const lzh::TFilePropInfo& r) {
          ++taken;
          uint8_t rec[lzh::kFilePropInfoSize];
          if (lzh::EncodeFilePropInfo(r, rec)) {
            lzh::TFilePropInfo back = lzh::DecodeFilePropInfo(rec);
            if (back.szName != r.szName || back.szVersion != r.szVersion) __builtin_trap();
          }
        });
    if (taken > 0 && static_cast<size_t>(taken) * lzh::kFilePropInfoSize + 4 > Size) __builtin_trap();
  }
  return 0;
}
