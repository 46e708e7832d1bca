/* A self-registering server for the install tests. The library's
   DllRegisterServer and the program's /REGSERVER write the server's own path
   under HKCU\Software\QuillantTest\SelfReg ("Dll" or "Exe") and answer
   QNT_REG_RESULT; built without QNT_EXPORT_REGISTER the library has no export. */
#include <windows.h>
#include <string.h>

#ifndef QNT_REG_RESULT
#define QNT_REG_RESULT S_OK
#endif

static void Mark(const wchar_t* Name, HMODULE Module) {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(Module, path, MAX_PATH);
  HKEY k;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\QuillantTest\\SelfReg", 0, NULL, 0, KEY_WRITE, NULL, &k, NULL) ==
      ERROR_SUCCESS) {
    RegSetValueExW(k, Name, 0, REG_SZ, (const BYTE*)path, (n + 1) * sizeof(wchar_t));
    RegCloseKey(k);
  }
}

#ifdef QNT_SELFREG_EXE
int WINAPI wWinMain(HINSTANCE Instance, HINSTANCE Prev, PWSTR Cmd, int Show) {
  (void)Prev;
  (void)Show;
  if (wcsstr(Cmd, L"/REGSERVER")) Mark(L"Exe", (HMODULE)Instance);
  return 0;
}
#else
static HMODULE Self;
BOOL WINAPI DllMain(HINSTANCE Instance, DWORD Reason, LPVOID Reserved) {
  (void)Reason;
  (void)Reserved;
  Self = Instance;
  return TRUE;
}
#ifdef QNT_EXPORT_REGISTER
__declspec(dllexport) HRESULT WINAPI DllRegisterServer(void) {
  Mark(L"Dll", Self);
  return QNT_REG_RESULT;
}
#endif
#endif
