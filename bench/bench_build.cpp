// qnt_bench_build <list file> <build folder> <setup program> [pre-setup file]: the
// distribution build (what *BUILD does) of a module made here: one group
// holding every file named in the list, a traditional distribution, the
// loader from the product folder of the current user's Delphi library path.
#include <windows.h>

#include <cstdio>

#include "classlib/SysUtils.h"
#include "classlib/Units.h"
#include "engine/cmp_TInstall.h"

int main() {
  if (ParamCount() != 3 && ParamCount() != 4) {
    std::fprintf(stderr, "usage: qnt_bench_build <list file> <build folder> <setup program> [pre-setup file]\n");
    return 2;
  }
  try {
    InitializeUnits();
    TStringList list;
    list.LoadFromFile(ParamStr(1));
    auto* module = new TDataModule(nullptr);
    auto* install = new TInstall(module);
    install->SetName("Install1");
    install->SetRunAutomatic(false);
    install->SetDestDirType(ddAbsolute);
    install->SetDestDir("c:\\bench");
    if (ParamCount() == 4) install->PresetupFiles()->Add(ParamStr(4));
    auto* group = new TInstallFileGroup(module);
    group->SetName("Group1");
    group->SetContainer(install);
    for (int i = 0; i < list.Count(); ++i) {
      if (Trim(list[i]).empty()) continue;
      // Set as the module's stream sets them: a library with a long name
      // that registers itself would be refused as a shared DLL otherwise.
      auto* f = new TInstallFile(module);
      static_cast<TComponent*>(f)->SetState(csLoading);
      f->SetName("File" + std::to_string(i));
      f->SetIncludeFromDir(ExtractFileDir(list[i]));
      f->SetFileName(ExtractFileName(list[i]));
      f->SetDestName(ExtractFileName(list[i]));
      f->SetContainer(group);
      f->SetDestDirType(ddContainerDestDir);
      f->SetArchiveFileType(ddContainerArchiveFile);
      f->ClearState(csLoading);
    }
    LARGE_INTEGER t0, t1, freq;
    QueryPerformanceFrequency(&freq);
    // Where the time goes: the build's own events mark its steps.
    std::string steps;
    auto mark = [&](const char* Step) {
      return [&, Step](TObject*) {
        LARGE_INTEGER t;
        QueryPerformanceCounter(&t);
        char buf[64];
        std::snprintf(buf, sizeof buf, " %s %.3f", Step,
                      static_cast<double>(t.QuadPart - t0.QuadPart) / static_cast<double>(freq.QuadPart));
        steps += buf;
      };
    };
    install->SetOnBeforeBuildSetup1(mark("setup.1"));
    install->SetOnBeforeBuildFiles1(mark("files.1"));
    install->SetOnBeforeBuildSelfExtractor(mark("setup.exe"));
    QueryPerformanceCounter(&t0);
    install->BuildDistributables(ParamStr(3), ParamStr(2), true);
    QueryPerformanceCounter(&t1);
    std::printf("built %d files in %.3f s (steps started at:%s)\n", list.Count(),
                static_cast<double>(t1.QuadPart - t0.QuadPart) / static_cast<double>(freq.QuadPart), steps.c_str());
    delete module;
    FinalizeUnits();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "qnt_bench_build: %s\n", e.what());
    return 1;
  }
  return 0;
}
