// A small program the tests start: it exits with a code, sleeps, or writes
// what it sees (its arguments, its folder, the Windows version) to a file.
//   qnt_probe exit N
//   qnt_probe sleep MS
//   qnt_probe args OUTFILE ...        ParamCount, each ParamStr, GetParameterAsPath(3), current dir
//   qnt_probe vertype OUTFILE         the ordinal of GetWindowsVerType
#include <windows.h>

#include <cstdio>
#include <string>

#include "classlib/SysUtils.h"
#include "classlib/Units.h"
#include "classlib/WinText.h"
#include "foundation/routines/routines_API.h"
#include "foundation/routines/routines_Strings.h"

namespace {
void Write(const std::string& path, const std::string& text) {
  FILE* f = _wfopen(Widen(path).c_str(), L"wb");
  if (!f) return;
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
}
}  // namespace

int main() {
  try {
    InitializeUnits();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 99;
  }
  std::string cmd = ParamStr(1);
  if (cmd == "exit") return static_cast<int>(StrToIntDef(ParamStr(2), 0));
  if (cmd == "sleep") {
    Sleep(static_cast<DWORD>(StrToIntDef(ParamStr(2), 0)));
    return 0;
  }
  if (cmd == "args") {
    std::string out = std::to_string(ParamCount()) + "\n";
    for (int i = 0; i <= ParamCount(); ++i) out += ParamStr(i) + "\n";
    out += GetParameterAsPath(3) + "\n";
    out += GetCurrentDir() + "\n";
    Write(ParamStr(2), out);
    return 0;
  }
  if (cmd == "vertype") {
    Write(ParamStr(2), std::to_string(static_cast<int>(GetWindowsVerType())));
    return 0;
  }
  return 2;
}
