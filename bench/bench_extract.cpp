// qnt_bench_extract <archive> <folder> [workers]: extracts every entry of the
// archive into the folder with the archive component, as an install does:
// one entry per call, with as many threads inflating ahead as given (none by
// default). It prints the time and, for the extraction and for the whole
// process, the page faults and the user and system times.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_counters.h"
#include "classlib/SysUtils.h"
#include "classlib/Units.h"
#include "foundation/archive/cmp_TQlntCompress.h"

int main() {
  if (ParamCount() != 2 && ParamCount() != 3) {
    std::fprintf(stderr, "usage: qnt_bench_extract <archive> <folder> [workers]\n");
    return 2;
  }
  try {
    InitializeUnits();
    LARGE_INTEGER t0, t1, freq;
    QueryPerformanceFrequency(&freq);
    const TProcessCounters start = TProcessCounters::Now();
    QueryPerformanceCounter(&t0);
    TQlntCompress c(nullptr);
    c.SetCompressedFile(ParamStr(1));
    c.SetExtractDirectory(ParamStr(2));
    if (ParamCount() == 3) c.SetUnpackAhead(StrToInt(ParamStr(3)));
    int64_t bytes = 0;
    std::vector<std::string> names;
    for (int i = 0; i < c.FileCount(); ++i) {
      TlzhFileStats st = c.Files(i);
      names.push_back(st.IFName);
      bytes += st.IFSize;
    }
    const int n = static_cast<int>(names.size());
    for (const std::string& name : names) {
      c.FilesToProcess()->Add(name);
      c.Extract();
    }
    QueryPerformanceCounter(&t1);
    const TProcessCounters end = TProcessCounters::Now();
    std::printf("extracted %d files, %lld bytes in %.3f s; extraction: %s; process: %s\n", n,
                static_cast<long long>(bytes),
                static_cast<double>(t1.QuadPart - t0.QuadPart) / static_cast<double>(freq.QuadPart),
                end.Since(start).Text().c_str(), end.Text().c_str());
    FinalizeUnits();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "qnt_bench_extract: %s\n", e.what());
    return 1;
  }
  return 0;
}
