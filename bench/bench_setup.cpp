// qnt_bench_setup: stands in for the setup program inside a benchmark's
// setup.exe. Started by the loader with *SELFEXTRACT <loader file> <loader
// folder>, it writes the time it started to QNT_BENCH_STARTED (when set) and
// ends; otherwise it extracts every entry of files.1 from inside setup.exe
// into QNT_BENCH_TARGET with the archive component, as the install does,
// and then writes QNT_BENCH_DONE.
#include <windows.h>

#include <cstdio>
#include <string>

#include "classlib/SysUtils.h"
#include "classlib/Units.h"
#include "classlib/WinText.h"
#include "foundation/archive/cmp_TQlntCompress.h"

namespace {
std::string Env(const wchar_t* Name) {
  wchar_t buf[4096];
  DWORD n = GetEnvironmentVariableW(Name, buf, 4096);
  return n && n < 4096 ? Narrow(std::wstring(buf, n)) : std::string();
}

void WriteText(const std::string& Path, const std::string& Text) {
  HANDLE h = CreateFileW(Widen(Path + ".part").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  DWORD n;
  WriteFile(h, Text.data(), static_cast<DWORD>(Text.size()), &n, nullptr);
  CloseHandle(h);
  MoveFileExW(Widen(Path + ".part").c_str(), Widen(Path).c_str(), MOVEFILE_REPLACE_EXISTING);
}

// Seconds since the Unix epoch, as the shell's date +%s.%N tells them.
std::string Now() {
  FILETIME ft;
  GetSystemTimePreciseAsFileTime(&ft);
  const unsigned long long t = (static_cast<unsigned long long>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.6f", static_cast<double>(t - 116444736000000000ULL) / 1e7);
  return buf;
}
}  // namespace

int main() {
  const std::string started = Env(L"QNT_BENCH_STARTED");
  if (!started.empty()) {
    WriteText(started, Now());
    return 0;
  }
  try {
    InitializeUnits();
    if (ParamCount() < 3) return 2;
    const std::string exe = IncludeTrailingBackslash(ParamStr(3)) + ParamStr(2);
    TFileStream f(exe, fmOpenRead | fmShareDenyNone);
    uint8_t raw[lzh::kTrailerSize];
    f.Seek(f.Size() - static_cast<int64_t>(lzh::kTrailerSize), soBeginning);
    f.ReadBuffer(raw, sizeof raw);
    const lzh::TSelfExtractInfo t = lzh::DecodeTrailer(raw);
    TQlntCompress c(nullptr);
    c.SetCompressedFile(exe);
    c.SetOffset(t.Files1StartOffset);
    c.SetExtractDirectory(Env(L"QNT_BENCH_TARGET"));
    for (int i = 0; i < c.FileCount(); ++i) c.FilesToProcess()->Add(c.Files(i).IFName);
    c.Extract();
    WriteText(Env(L"QNT_BENCH_DONE"), Now());
    FinalizeUnits();
  } catch (const std::exception& e) {
    WriteText(Env(L"QNT_BENCH_DONE"), std::string("error: ") + e.what());
    return 1;
  }
  return 0;
}
