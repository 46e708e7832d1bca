#include "common/ForeignWindow.h"

#include <windows.h>

#include <vector>

#include "classlib/WinText.h"
#include "common/TestSupport.h"

namespace testsupport {

TChildProcess::TChildProcess(const std::string& CommandLine, const std::string& WorkDir, const std::string& Program,
                             const std::string& OutputFile) {
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::wstring cl = Widen(CommandLine);
  std::wstring wd = Widen(WorkDir);
  std::wstring prog = Widen(Program);
  HANDLE output = INVALID_HANDLE_VALUE;
  if (!OutputFile.empty()) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    output = CreateFileW(Widen(OutputFile).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
    if (output == INVALID_HANDLE_VALUE) return;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = si.hStdError = output;
  }
  if (CreateProcessW(prog.empty() ? nullptr : prog.c_str(), cl.data(), nullptr, nullptr, output != INVALID_HANDLE_VALUE,
                     0, nullptr, wd.empty() ? nullptr : wd.c_str(), &si, &pi)) {
    CloseHandle(pi.hThread);
    FProcess = pi.hProcess;
    FPid = pi.dwProcessId;
  }
  if (output != INVALID_HANDLE_VALUE) CloseHandle(output);
}

TChildProcess::~TChildProcess() {
  if (!FProcess) return;
  if (WaitForSingleObject(FProcess, 0) != WAIT_OBJECT_0) TerminateProcess(FProcess, 255);
  CloseHandle(FProcess);
}

long TChildProcess::Wait(uint32_t TimeoutMs) {
  if (!FProcess) return -1;
  if (WaitForSingleObject(FProcess, TimeoutMs) != WAIT_OBJECT_0) {
    TerminateProcess(FProcess, 255);
    WaitForSingleObject(FProcess, 5000);
    return -2;
  }
  DWORD code = 0;
  GetExitCodeProcess(FProcess, &code);
  return static_cast<long>(code);
}

namespace {

struct TSearch {
  DWORD Pid;
  std::wstring Caption;
  HWND Found = nullptr;
};

BOOL CALLBACK MatchWindow(HWND H, LPARAM P) {
  auto* s = reinterpret_cast<TSearch*>(P);
  DWORD pid = 0;
  GetWindowThreadProcessId(H, &pid);
  if (pid != s->Pid || !IsWindowVisible(H)) return TRUE;
  wchar_t caption[512] = {};
  GetWindowTextW(H, caption, 512);
  if (s->Caption != caption) return TRUE;
  s->Found = H;
  return FALSE;
}

HWND FindWindowOf(uint32_t Pid, const std::string& Caption) {
  TSearch s{Pid, Widen(Caption)};
  EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&s));
  return s.Found;
}

struct TButtonSearch {
  std::wstring Text;
  HWND Found = nullptr;
};

BOOL CALLBACK MatchButton(HWND H, LPARAM P) {
  auto* s = reinterpret_cast<TButtonSearch*>(P);
  wchar_t cls[64] = {}, text[512] = {};
  GetClassNameW(H, cls, 64);
  GetWindowTextW(H, text, 512);
  if (lstrcmpiW(cls, L"Button") != 0 || s->Text != text) return TRUE;
  s->Found = H;
  return FALSE;
}

// Reads the box and presses one of its buttons as the button itself reports a
// click to its box.
TForeignBox Answer(HWND H, const std::function<int(const std::string&)>& Choose) {
  TForeignBox box;
  box.Found = true;
  wchar_t caption[512] = {};
  GetWindowTextW(H, caption, 512);
  box.Caption = Narrow(std::wstring(caption));
  // The box may still be filling in its controls right after it appears.
  for (int i = 0; i < 40 && box.Text.empty(); ++i) {
    box.Text = StaticTexts(H);
    if (box.Text.empty()) Sleep(50);
  }
  int ButtonId = Choose(box.Text);
  HWND button = GetDlgItem(H, ButtonId);
  PostMessageW(H, WM_COMMAND, MAKEWPARAM(ButtonId, BN_CLICKED), reinterpret_cast<LPARAM>(button));
  return box;
}

}  // namespace

TForeignBox AnswerForeignDialog(uint32_t Pid, const std::function<int(const std::string&)>& Choose,
                                uint32_t TimeoutMs) {
  DWORD start = GetTickCount();
  HWND h = nullptr;
  for (;;) {
    const std::vector<HWND> dialogs = VisibleDialogsOf(Pid);
    if (!dialogs.empty()) {
      h = dialogs.front();
      break;
    }
    if (GetTickCount() - start > TimeoutMs) return {};
    Sleep(50);
  }
  TForeignBox box = Answer(h, Choose);
  // Gone before the next one is looked for, so that one box counts once.
  for (int i = 0; i < 200 && IsWindow(h) && IsWindowVisible(h); ++i) Sleep(25);
  return box;
}

bool ClickForeignButton(uint32_t Pid, const std::string& Caption, const std::string& ButtonText,
                        uint32_t TimeoutMs) {
  DWORD start = GetTickCount();
  HWND h = nullptr;
  while (!(h = FindWindowOf(Pid, Caption))) {
    if (GetTickCount() - start > TimeoutMs) return false;
    Sleep(50);
  }
  TButtonSearch s{Widen(ButtonText)};
  EnumChildWindows(h, MatchButton, reinterpret_cast<LPARAM>(&s));
  if (!s.Found || !IsWindowEnabled(s.Found)) return false;
  PostMessageW(s.Found, BM_CLICK, 0, 0);
  return true;
}

bool HasWindowCaptioned(uint32_t Pid, const std::string& Caption) { return FindWindowOf(Pid, Caption) != nullptr; }

TForeignBox AnswerForeignBox(uint32_t Pid, const std::string& Caption, uint32_t TimeoutMs) {
  DWORD start = GetTickCount();
  HWND h = nullptr;
  while (!(h = FindWindowOf(Pid, Caption))) {
    if (GetTickCount() - start > TimeoutMs) return {};
    Sleep(50);
  }
  return Answer(h, [](const std::string&) { return IDOK; });
}

}  // namespace testsupport
