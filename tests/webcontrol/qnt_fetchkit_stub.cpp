// Stands in for a downloaded setup program: it records that it ran, writing
// its command line to "<its own path>.started", and ends.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  wchar_t path[MAX_PATH + 16] = {};
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  lstrcpyW(path + n, L".started");
  HANDLE h = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 1;
  const wchar_t* cmd = GetCommandLineW();
  DWORD written;
  WriteFile(h, cmd, lstrlenW(cmd) * sizeof(wchar_t), &written, nullptr);
  CloseHandle(h);
  return 0;
}
