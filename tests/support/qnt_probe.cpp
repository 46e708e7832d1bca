// A small program the tests start: it exits with a code, sleeps, or writes
// what it sees (its arguments, its folder, the Windows version) to a file.
//   qnt_probe exit N
//   qnt_probe sleep MS
//   qnt_probe args OUTFILE ...        ParamCount, each ParamStr, GetParameterAsPath(3), current dir
//   qnt_probe vertype OUTFILE         the ordinal of GetWindowsVerType
// and, for the wizard driver's tests, a program with windows:
//   qnt_probe page BUTTON CAPTION [COMMAND ...]   a window CAPTION with one button BUTTON; a click on it
//                                                 starts COMMAND when given, closes the window, exits 0
//   qnt_probe start COMMAND ...                   starts COMMAND and exits 0 at once, as the loader does
//   qnt_probe box CAPTION TIMES                   a Retry/Cancel box (Retry the default), shown again after
//                                                 each Retry: exits 4 after TIMES Retries, 3 at Cancel
#include <windows.h>

#include <cstdio>
#include <string>

#include "classlib/SysUtils.h"
#include "classlib/Units.h"
#include "classlib/WinText.h"
#include "foundation/routines/routines_API.h"
#include "foundation/routines/routines_Strings.h"

namespace {
// The arguments from the First-th on, as a command line.
std::wstring CommandFrom(int First) {
  std::wstring cl;
  for (int i = First; i <= ParamCount(); ++i) {
    const std::wstring a = Widen(ParamStr(i));
    cl += (cl.empty() ? L"" : L" ") + (a.find(L' ') == std::wstring::npos ? a : L"\"" + a + L"\"");
  }
  return cl;
}

bool Start(std::wstring CommandLine) {
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, CommandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return true;
}

LRESULT CALLBACK PageProc(HWND W, UINT M, WPARAM Wp, LPARAM Lp) {
  if (M == WM_COMMAND && HIWORD(Wp) == BN_CLICKED) {
    const std::wstring then = CommandFrom(4);
    if (!then.empty()) Start(then);
    DestroyWindow(W);
    return 0;
  }
  if (M == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcW(W, M, Wp, Lp);
}

int Page() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = PageProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = L"QntProbePage";
  RegisterClassW(&wc);
  HWND page = CreateWindowExW(0, wc.lpszClassName, Widen(ParamStr(3)).c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100,
                              100, 320, 200, nullptr, nullptr, wc.hInstance, nullptr);
  CreateWindowExW(0, L"BUTTON", Widen(ParamStr(2)).c_str(), WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 110, 100, 90, 30,
                  page, nullptr, wc.hInstance, nullptr);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}

int Box() {
  const std::wstring caption = Widen(ParamStr(2));
  for (long long left = StrToIntDef(ParamStr(3), 1); left > 0; --left)
    if (MessageBoxW(nullptr, L"The file is in use.", caption.c_str(), MB_RETRYCANCEL) != IDRETRY) return 3;
  return 4;
}

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
  if (cmd == "page") return Page();
  if (cmd == "start") return Start(CommandFrom(2)) ? 0 : 1;
  if (cmd == "box") return Box();
  if (cmd == "vertype") {
    Write(ParamStr(2), std::to_string(static_cast<int>(GetWindowsVerType())));
    return 0;
  }
  return 2;
}
