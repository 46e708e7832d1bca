// qnt_bench_setup: the setup program inside a benchmark's setup.exe, a real
// one: the controller with one group holding every file named in the list
// QNT_BENCH_LIST (the module qnt_bench_build builds from the same list),
// installed into QNT_BENCH_TARGET by the install run the loader starts;
// when the program ends it writes the time to QNT_BENCH_DONE. With
// QNT_BENCH_STARTED set it only writes the time it started there and ends
// (the loader's start). With QNT_BENCH_TRACE set it appends the moments of
// its run to that file as "phase seconds" lines, after the loader's own; with
// QNT_BENCH_WORKERS=0 the archive component inflates on this thread only.
// The group's start and end also carry the process's counters ("counters-
// files-start faults user system").
#include <windows.h>

#include <cstdio>
#include <string>

#include "bench/bench_counters.h"
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

// The moments of the run, kept in memory and written once at the end: the
// program's start, its forms made, the module read, the main form's first
// activation (the install run starts), the file information read, the
// group's files begun and done, and the end. "record" is the time between
// each file's end of installing and its end of processing, summed over the
// files: the file's line in the uninstall record. The other per-file phases,
// also summed over the files: "file-before" from the file's before-install
// event to its first progress report (the overwrite decision, the clear-up of
// leftovers, the private copy made and the archive opened), "file-write" to
// its last progress report (inflating and writing), "file-finish" to its
// after-install event (the copy dated, renamed and closed), and
// "file-between" from one file's end of processing to the next one's
// before-install event (the walk, the events before the install).
class TTrace {
public:
  void Mark(const char* Phase) { Add(Phase, UnixNow()); }
  void Counters(const char* Phase) {
    const TProcessCounters c = TProcessCounters::Now();
    char buf[64];
    std::snprintf(buf, sizeof buf, "%llu %.3f %.3f", c.Faults, c.User, c.System);
    Add((std::string("counters-") + Phase).c_str(), buf);
  }
  void Add(const char* Phase, const std::string& Value) { FLines += std::string(Phase) + " " + Value + "\n"; }
  void FileBegins() {
    FBegin = Precise();
    if (FProcessed > 0) FBetween += FBegin - FProcessed;
    FFirstStatus = FLastStatus = 0;
  }
  // Called on every block of 4 KB: the clock is read only at the file's
  // first report and at those of its last percent, or the benchmark's own
  // clock would be timed as the install's.
  void FileStatus(int Percent) {
    if (FFirstStatus == 0) {
      FFirstStatus = FLastStatus = Precise();
    } else if (Percent >= 100) {
      FLastStatus = Precise();
    }
  }
  void FileInstalled() {
    FInstalled = Precise();
    if (FFirstStatus > 0) {
      FBefore += FFirstStatus - FBegin;
      FWrite += FLastStatus - FFirstStatus;
      FFinish += FInstalled - FLastStatus;
    }
  }
  void FileProcessed() {
    FProcessed = Precise();
    FRecord += FProcessed - FInstalled;
  }
  void Write(const std::string& Path) {
    if (Path.empty()) return;
    auto sum = [this](const char* Phase, double Seconds) {
      char buf[32];
      std::snprintf(buf, sizeof buf, "%.6f", Seconds);
      if (Seconds > 0) Add(Phase, buf);
    };
    sum("record", FRecord);
    sum("file-before", FBefore);
    sum("file-write", FWrite);
    sum("file-finish", FFinish);
    sum("file-between", FBetween);
    HANDLE h = CreateFileW(Widen(Path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    DWORD n;
    WriteFile(h, FLines.data(), static_cast<DWORD>(FLines.size()), &n, nullptr);
    CloseHandle(h);
  }

private:
  static double Precise() {
    LARGE_INTEGER t, f;
    QueryPerformanceCounter(&t);
    QueryPerformanceFrequency(&f);
    return static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
  }
  std::string FLines;
  double FBegin = 0, FFirstStatus = 0, FLastStatus = 0, FInstalled = 0, FProcessed = 0;
  double FRecord = 0, FBefore = 0, FWrite = 0, FFinish = 0, FBetween = 0;
};
TTrace Trace;

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

// Marks the run's moments through the module's own events.
void HookTrace(TDataModule* Module) {
  const bool oneThread = Env(L"QNT_BENCH_WORKERS") == "0";
  for (int i = 0; i < Module->ComponentCount(); ++i) {
    TComponent* c = Module->Components(i);
    if (auto* install = dynamic_cast<TInstall*>(c)) {
      install->SetOnBeforeReadArchiveInfo([](TObject*) { Trace.Mark("info-start"); });
      install->SetOnAfterReadArchiveInfo([](TObject*) { Trace.Mark("info-read"); });
    } else if (auto* group = dynamic_cast<TInstallFileGroup*>(c)) {
      group->SetOnBeforeProcess([oneThread](TInstallContainer*) {
        if (oneThread) QlntCompress->SetUnpackAhead(0);
        Trace.Counters("files-start");
        Trace.Mark("files-start");
      });
      group->SetOnAfterProcess([](TInstallContainer*) {
        Trace.Mark("files-end");
        Trace.Counters("files-end");
      });
    } else if (auto* file = dynamic_cast<TInstallFile*>(c)) {
      file->SetOnBeforeInstall([](TInstallObject*) { Trace.FileBegins(); });
      file->SetOnStatus([](TInstallObject*, int Percent, int) { Trace.FileStatus(Percent); });
      file->SetOnAfterInstall([](TInstallObject*) { Trace.FileInstalled(); });
      file->SetOnAfterProcess([](TInstallContainer*) { Trace.FileProcessed(); });
    }
  }
}

int main() {
  Trace.Mark("setup-start");
  const std::string started = Env(L"QNT_BENCH_STARTED");
  if (!started.empty()) {
    WriteText(started, UnixNow());
    Trace.Write(Env(L"QNT_BENCH_TRACE"));
    return 0;
  }
  const int rc = SetupMain("Quillant Bench", [] {
    Trace.Mark("forms");
    // The controller calls the main form's own handler when the run starts.
    Application->MainForm()->OnActivate = [](TObject*) { Trace.Mark("run"); };
    RegisterResourceText("TBENCHMODULE", ModuleText(Env(L"QNT_BENCH_LIST"), Env(L"QNT_BENCH_TARGET")));
    HookTrace(new TBenchModule(Application));
    Trace.Mark("module-read");
  });
  Trace.Mark("end");
  Trace.Write(Env(L"QNT_BENCH_TRACE"));
  const std::string done = Env(L"QNT_BENCH_DONE");
  if (!done.empty()) WriteText(done, rc == 0 ? UnixNow() : std::string("error: exit code ") + std::to_string(rc));
  return rc;
}
