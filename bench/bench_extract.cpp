// qnt_bench_extract <archive> <folder>: extracts every entry of the archive
// into the folder with the archive component, as an install does.
#include <windows.h>

#include <cstdio>

#include "classlib/SysUtils.h"
#include "classlib/Units.h"
#include "foundation/archive/cmp_TQlntCompress.h"

int main() {
  if (ParamCount() != 2) {
    std::fprintf(stderr, "usage: qnt_bench_extract <archive> <folder>\n");
    return 2;
  }
  try {
    InitializeUnits();
    LARGE_INTEGER t0, t1, freq;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&t0);
    TQlntCompress c(nullptr);
    c.SetCompressedFile(ParamStr(1));
    c.SetExtractDirectory(ParamStr(2));
    int64_t bytes = 0;
    for (int i = 0; i < c.FileCount(); ++i) {
      TlzhFileStats st = c.Files(i);
      c.FilesToProcess()->Add(st.IFName);
      bytes += st.IFSize;
    }
    int n = c.FilesToProcess()->Count();
    c.Extract();
    QueryPerformanceCounter(&t1);
    std::printf("extracted %d files, %lld bytes in %.3f s\n", n, static_cast<long long>(bytes),
                static_cast<double>(t1.QuadPart - t0.QuadPart) / static_cast<double>(freq.QuadPart));
    FinalizeUnits();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "qnt_bench_extract: %s\n", e.what());
    return 1;
  }
  return 0;
}
