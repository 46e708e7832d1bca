// qnt_bench_pack <list file> <archive>: packs the files named one per line in
// the list into a new archive at the component's default level.
#include <windows.h>

#include <cstdio>

#include "classlib/SysUtils.h"
#include "classlib/Units.h"
#include "foundation/archive/cmp_TQlntCompress.h"

int main() {
  if (ParamCount() != 2) {
    std::fprintf(stderr, "usage: qnt_bench_pack <list file> <archive>\n");
    return 2;
  }
  try {
    InitializeUnits();
    TStringList list;
    {
      TFileStream f(ParamStr(1), fmOpenRead | fmShareDenyNone);
      std::string text(static_cast<size_t>(f.Size()), '\0');
      f.ReadBuffer(text.data(), static_cast<int64_t>(text.size()));
      list.SetText(text);
    }
    TQlntCompress c(nullptr);
    c.SetCompressedFile(ParamStr(2));
    LARGE_INTEGER t0, t1, freq;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&t0);
    c.SetFilesToProcess(&list);
    c.Add(lzcOverwrite);
    QueryPerformanceCounter(&t1);
    std::printf("packed %d files in %.3f s\n", list.Count(),
                static_cast<double>(t1.QuadPart - t0.QuadPart) / static_cast<double>(freq.QuadPart));
    FinalizeUnits();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "qnt_bench_pack: %s\n", e.what());
    return 1;
  }
  return 0;
}
