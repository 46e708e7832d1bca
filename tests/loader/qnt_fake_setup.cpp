// Stands in for the setup program that the loader starts: writes its command
// line, its arguments as the class library reads them, its working folder and
// its own path to the file named by QNT_FAKE_SETUP_LOG, then ends.
#include <windows.h>

#include <string>

#include "classlib/SysUtils.h"
#include "classlib/WinText.h"

int main() {
  wchar_t logPath[MAX_PATH * 4] = {};
  if (!GetEnvironmentVariableW(L"QNT_FAKE_SETUP_LOG", logPath, MAX_PATH * 4)) return 2;
  std::string text = "cmdline=" + Narrow(std::wstring(GetCommandLineW())) + "\n";
  text += "argc=" + std::to_string(ParamCount()) + "\n";
  for (int i = 1; i <= ParamCount(); ++i) text += "arg" + std::to_string(i) + "=" + ParamStr(i) + "\n";
  wchar_t cwd[MAX_PATH * 4] = {};
  GetCurrentDirectoryW(MAX_PATH * 4, cwd);
  text += "cwd=" + Narrow(std::wstring(cwd)) + "\n";
  text += "exe=" + ParamStr(0) + "\n";
  // Written aside and renamed, so a reader never sees half a log.
  std::wstring tmp = std::wstring(logPath) + L".part";
  HANDLE h = CreateFileW(tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 3;
  DWORD n;
  WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &n, nullptr);
  CloseHandle(h);
  return MoveFileExW(tmp.c_str(), logPath, MOVEFILE_REPLACE_EXISTING) ? 0 : 4;
}
