// bench_floor <archive> <folder>: the floor of extraction: the same entries
// through zlib's own inflate and plain writes, in one native process.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "foundation/archive/lzhFormat.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: bench_floor <archive> <folder>\n");
    return 2;
  }
  auto t0 = std::chrono::steady_clock::now();
  int in = open(argv[1], O_RDONLY);
  if (in < 0) return 1;
  uint8_t start[lzh::kStartSize];
  if (pread(in, start, sizeof start, 0) != static_cast<ssize_t>(sizeof start)) return 1;
  lzh::TArchiveStart s = lzh::DecodeStart(start);
  off_t next = lzh::kStartSize;
  std::vector<unsigned char> ibuf(1 << 20), obuf(1 << 20);
  long long total = 0;
  for (int i = 0; i < s.Count; ++i) {
    uint8_t hb[lzh::kHeaderSize];
    lzh::TlzhFileHeader h;
    if (pread(in, hb, sizeof hb, next) != static_cast<ssize_t>(sizeof hb) || !lzh::DecodeHeader(hb, h)) return 1;
    next = h.NextHeaderOffset;
    std::string name = h.FileName.substr(h.FileName.find_last_of("\\/:") + 1);
    int out = open((std::string(argv[2]) + "/" + name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0) return 1;
    z_stream z{};
    inflateInit(&z);
    off_t pos = h.StartOffset;
    off_t end = static_cast<off_t>(h.EndOffset) + 1;
    int r = Z_OK;
    while (r != Z_STREAM_END && pos < end) {
      ssize_t n = pread(in, ibuf.data(), std::min<off_t>(static_cast<off_t>(ibuf.size()), end - pos), pos);
      if (n <= 0) return 1;
      pos += n;
      z.next_in = ibuf.data();
      z.avail_in = static_cast<uInt>(n);
      do {
        z.next_out = obuf.data();
        z.avail_out = static_cast<uInt>(obuf.size());
        r = inflate(&z, Z_NO_FLUSH);
        if (r < 0 && r != Z_BUF_ERROR) return 1;
        size_t m = obuf.size() - z.avail_out;
        if (m && write(out, obuf.data(), m) != static_cast<ssize_t>(m)) return 1;
        total += static_cast<long long>(m);
      } while (z.avail_out == 0 && r != Z_STREAM_END);
    }
    inflateEnd(&z);
    close(out);
  }
  close(in);
  double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  std::printf("floor: %d files, %lld bytes in %.3f s\n", s.Count, total, secs);
  return 0;
}
