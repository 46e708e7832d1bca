/* A program server for the uninstall tests: it writes the command line it was
   started with into "<its own path>.log" and ends. */
#include <windows.h>

int WINAPI wWinMain(HINSTANCE Instance, HINSTANCE Prev, LPWSTR Args, int Show) {
  wchar_t path[MAX_PATH + 8];
  const wchar_t* line = GetCommandLineW();
  HANDLE f;
  DWORD n;
  char buf[4096];
  int len;
  (void)Instance; (void)Prev; (void)Args; (void)Show;
  GetModuleFileNameW(NULL, path, MAX_PATH);
  lstrcatW(path, L".log");
  len = WideCharToMultiByte(CP_UTF8, 0, line, -1, buf, sizeof buf, NULL, NULL);
  f = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
  if (f == INVALID_HANDLE_VALUE) return 1;
  if (len > 0) WriteFile(f, buf, (DWORD)(len - 1), &n, NULL);
  CloseHandle(f);
  return 0;
}
