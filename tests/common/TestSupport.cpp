#include "common/TestSupport.h"

#include "common/ForeignWindow.h"

#include <windows.h>

#include <atomic>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "classlib/SysUtils.h"
#include "classlib/WinText.h"

namespace testsupport {

std::string BinDir() { return ExcludeTrailingBackslash(ExtractFilePath(ParamStr(0))); }

std::string TempDir() {
  wchar_t tmp[MAX_PATH];
  GetTempPathW(MAX_PATH, tmp);
  return Narrow(std::wstring(tmp));
}

std::vector<std::string> FileNamesMatching(const std::string& Pattern) {
  std::vector<std::string> found;
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(Widen(Pattern).c_str(), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do found.push_back(Narrow(std::wstring(fd.cFileName)));
    while (FindNextFileW(h, &fd));
    FindClose(h);
  }
  return found;
}

std::string ScratchDir(const std::string& Tag) {
  std::string base = ExcludeTrailingBackslash(TempDir());
  static unsigned counter = 0;
  for (;;) {
    std::string dir = base + "\\" + Tag + "-" + std::to_string(GetCurrentProcessId()) + "-" +
                      std::to_string(++counter) + "-" + std::to_string(GetTickCount() & 0xFFFF);
    if (CreateDirectoryW(Widen(dir).c_str(), nullptr)) return dir;
    if (GetLastError() != ERROR_ALREADY_EXISTS) throw std::runtime_error("cannot make " + dir);
  }
}

void RemoveTree(const std::string& Dir) {
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(Widen(Dir + "\\*").c_str(), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      std::string name = Narrow(std::wstring(fd.cFileName));
      if (name == "." || name == "..") continue;
      std::string path = Dir + "\\" + name;
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        SetFileAttributesW(Widen(path).c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(Widen(path).c_str());
      }
    } while (FindNextFileW(h, &fd));
    FindClose(h);
  }
  RemoveDirectoryW(Widen(Dir).c_str());
}

std::string ReadFileText(const std::string& Path) {
  HANDLE h = CreateFileW(Widen(Path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot read " + Path);
  std::string r;
  char buf[65536];
  DWORD n;
  while (ReadFile(h, buf, sizeof buf, &n, nullptr) && n) r.append(buf, n);
  CloseHandle(h);
  return r;
}

void WriteFileText(const std::string& Path, const std::string& Text) {
  HANDLE h = CreateFileW(Widen(Path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot write " + Path);
  DWORD n;
  WriteFile(h, Text.data(), static_cast<DWORD>(Text.size()), &n, nullptr);
  CloseHandle(h);
}

std::vector<std::string> ReadLines(const std::string& Path) {
  std::string t = ReadFileText(Path);
  std::vector<std::string> lines;
  size_t i = 0;
  while (i < t.size()) {
    size_t j = t.find('\n', i);
    if (j == std::string::npos) j = t.size();
    std::string l = t.substr(i, j - i);
    if (!l.empty() && l.back() == '\r') l.pop_back();
    lines.push_back(l);
    i = j + 1;
  }
  return lines;
}

std::string CopyProgram(const std::string& Program, const std::string& Dir, const std::string& NewName) {
  std::string target = Dir + "\\" + NewName;
  if (!CopyFileW(Widen(BinDir() + "\\" + Program).c_str(), Widen(target).c_str(), FALSE))
    throw std::runtime_error("cannot copy " + Program);
  return target;
}

long RunAndWait(const std::string& CommandLine, const std::string& WorkDir, uint32_t TimeoutMs) {
  TChildProcess p(CommandLine, WorkDir);
  return p.Started() ? p.Wait(TimeoutMs) : -1;
}

void SetReportedWindowsVersion(const std::string& ExeFileName, const std::string& Version) {
  std::wstring key = L"Software\\Wine\\AppDefaults\\" + Widen(ExeFileName);
  HKEY h;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr) !=
      ERROR_SUCCESS)
    throw std::runtime_error("cannot set the reported Windows version");
  std::wstring v = Widen(Version);
  RegSetValueExW(h, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(v.c_str()),
                 static_cast<DWORD>((v.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(h);
}

struct DialogWatcher::State {
  std::atomic<bool> stop{false};
  mutable std::mutex lock;
  std::vector<Seen> seen;
  std::thread worker;
};

namespace {
struct FindCtx {
  DWORD pid;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectDialogs(HWND h, LPARAM p) {
  auto* ctx = reinterpret_cast<FindCtx*>(p);
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  wchar_t cls[64] = {};
  GetClassNameW(h, cls, 64);
  if (pid == ctx->pid && IsWindowVisible(h) && std::wstring(cls) == L"#32770") ctx->found.push_back(h);
  return TRUE;
}

BOOL CALLBACK CollectStaticText(HWND h, LPARAM p) {
  wchar_t cls[64] = {};
  GetClassNameW(h, cls, 64);
  if (std::wstring(cls) == L"Static") {
    wchar_t buf[2048] = {};
    GetWindowTextW(h, buf, 2048);
    auto* text = reinterpret_cast<std::wstring*>(p);
    if (buf[0]) {
      if (!text->empty()) *text += L"\n";
      *text += buf;
    }
  }
  return TRUE;
}
}  // namespace

std::vector<HWND> VisibleDialogsOf(uint32_t Pid) {
  FindCtx ctx{Pid, {}};
  EnumWindows(CollectDialogs, reinterpret_cast<LPARAM>(&ctx));
  return ctx.found;
}

std::string StaticTexts(HWND Window) {
  std::wstring text;
  EnumChildWindows(Window, CollectStaticText, reinterpret_cast<LPARAM>(&text));
  return Narrow(text);
}

DialogWatcher::DialogWatcher() : FState(new State) {
  FState->worker = std::thread([s = FState] {
    while (!s->stop) {
      for (HWND h : VisibleDialogsOf(GetCurrentProcessId())) {
        wchar_t cap[512] = {};
        GetWindowTextW(h, cap, 512);
        std::string text = StaticTexts(h);
        {
          std::lock_guard<std::mutex> g(s->lock);
          s->seen.push_back({Narrow(std::wstring(cap)), text});
        }
        HWND ok = GetDlgItem(h, IDOK);
        PostMessageW(h, WM_COMMAND, ok ? IDOK : IDCANCEL, 0);
        // Wait for it to go before looking again, so one box counts once.
        for (int i = 0; i < 100 && IsWindow(h) && IsWindowVisible(h); ++i) Sleep(20);
      }
      Sleep(50);
    }
  });
}

DialogWatcher::~DialogWatcher() {
  FState->stop = true;
  FState->worker.join();
  delete FState;
}

std::vector<DialogWatcher::Seen> DialogWatcher::Dialogs() const {
  std::lock_guard<std::mutex> g(FState->lock);
  return FState->seen;
}

std::string UnixPathOf(const std::string& WindowsPath) {
  using TUnixName = char* (*)(const wchar_t*);
  auto unixName = reinterpret_cast<TUnixName>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (!unixName) return "";
  char* name = unixName(Widen(WindowsPath).c_str());
  const std::string r = name ? name : "";
  HeapFree(GetProcessHeap(), 0, name);
  return r;
}

}  // namespace testsupport
