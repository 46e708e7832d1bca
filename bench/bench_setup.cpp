// qnt_bench_setup: the setup program inside a benchmark's setup.exe, a real
// one: the controller with one group holding every file named in the list
// QNT_BENCH_LIST (the module qnt_bench_build builds from the same list),
// installed into QNT_BENCH_TARGET by the install run the loader starts;
// when the program ends it writes the time to QNT_BENCH_DONE. With
// QNT_BENCH_STARTED set it only writes the time it started there and ends
// (the loader's start).
#include <windows.h>

#include <cstdio>
#include <string>

#include "classlib/Forms.h"
#include "classlib/FormReader.h"
#include "classlib/SysUtils.h"
#include "classlib/WinText.h"
#include "engine/cmp_TInstall.h"
#include "setup/SetupMain.h"

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
std::string UnixNow() {
  FILETIME ft;
  GetSystemTimePreciseAsFileTime(&ft);
  const unsigned long long t = (static_cast<unsigned long long>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.6f", static_cast<double>(t - 116444736000000000ULL) / 1e7);
  return buf;
}

std::string Quoted(const std::string& S) {
  std::string r = "'";
  for (char c : S) r += c == '\'' ? std::string("''") : std::string(1, c);
  return r + "'";
}

// The module's text: the names qnt_bench_build gives (File<line index>).
std::string ModuleText(const std::string& List, const std::string& Target) {
  TStringList list;
  list.LoadFromFile(List);
  std::string t = "object BenchModule: TBenchModule\n  object Install1: TInstall\n    AutoMaximizeWindow = False\n"
                  "    DestDir = " + Quoted(Target) + "\n    DestDirType = ddAbsolute\n"
                  "    Information.ProductName = 'Quillant Bench'\n  end\n"
                  "  object Group1: TInstallFileGroup\n    Container = Install1\n    Order = 0\n"
                  "    DestDirType = ddContainerDestDir\n    ArchiveFileType = ddContainerArchiveFile\n  end\n";
  for (int i = 0; i < list.Count(); ++i) {
    if (Trim(list[i]).empty()) continue;
    const std::string name = ExtractFileName(list[i]);
    t += "  object File" + std::to_string(i) + ": TInstallFile\n    Container = Group1\n    Order = " +
         std::to_string(i) + "\n    FileName = " + Quoted(name) + "\n    DestName = " + Quoted(name) +
         "\n    IncludeFromDir = " + Quoted(ExtractFileDir(list[i])) +
         "\n    DestDirType = ddContainerDestDir\n    ArchiveFileType = ddContainerArchiveFile\n  end\n";
  }
  return t + "end\n";
}

class TBenchModule : public TDataModule {
  QNT_PUBLISHED(TBenchModule, TDataModule)
public:
  explicit TBenchModule(TComponent* AOwner) : TDataModule(AOwner) {
    RegisterClasses<TInstall, TInstallFileGroup, TInstallFile>();
    ReadResource("TBENCHMODULE");
  }
};
QNT_PUBLISH(TBenchModule);
}  // namespace

int main() {
  const std::string started = Env(L"QNT_BENCH_STARTED");
  if (!started.empty()) {
    WriteText(started, UnixNow());
    return 0;
  }
  const int rc = SetupMain("Quillant Bench", [] {
    RegisterResourceText("TBENCHMODULE", ModuleText(Env(L"QNT_BENCH_LIST"), Env(L"QNT_BENCH_TARGET")));
    new TBenchModule(Application);
  });
  const std::string done = Env(L"QNT_BENCH_DONE");
  if (!done.empty()) WriteText(done, rc == 0 ? UnixNow() : std::string("error: exit code ") + std::to_string(rc));
  return rc;
}
