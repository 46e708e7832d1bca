/* A program server for the uninstall tests: it writes the command line it was
   started with into "<its own path>.log", then on a second line how it was
   asked to show its window ("show <wShowWindow>", or "show default" without
   STARTF_USESHOWWINDOW), and ends. */
#include <windows.h>

int WINAPI wWinMain(HINSTANCE Instance, HINSTANCE Prev, LPWSTR Args, int Show) {
  wchar_t path[MAX_PATH + 8];
  const wchar_t* line = GetCommandLineW();
  STARTUPINFOW si;
  HANDLE f;
  DWORD n;
  char buf[4096];
  int len;
  (void)Instance; (void)Prev; (void)Args; (void)Show;
  GetModuleFileNameW(NULL, path, MAX_PATH);
  lstrcatW(path, L".log");
  len = WideCharToMultiByte(CP_UTF8, 0, line, -1, buf, sizeof buf - 32, NULL, NULL);
  len = len > 0 ? len - 1 : 0;
  si.cb = sizeof si;
  GetStartupInfoW(&si);
  if (si.dwFlags & STARTF_USESHOWWINDOW)
    len += wsprintfA(buf + len, "\r\nshow %u", (unsigned)si.wShowWindow);
  else
    len += wsprintfA(buf + len, "\r\nshow default");
  f = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
  if (f == INVALID_HANDLE_VALUE) return 1;
  WriteFile(f, buf, (DWORD)len, &n, NULL);
  CloseHandle(f);
  return 0;
}
