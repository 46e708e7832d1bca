/* A self-registering server for the uninstall tests: registration writes the
   value named by its own path under HKCU\Software\Quillant Tests\SelfReg,
   unregistration deletes it. */
#include <windows.h>

static HMODULE Self;

BOOL WINAPI DllMain(HINSTANCE Instance, DWORD Reason, LPVOID Reserved) {
  (void)Reserved;
  if (Reason == DLL_PROCESS_ATTACH) Self = Instance;
  return TRUE;
}

static LONG OpenKey(HKEY* Key) {
  return RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Quillant Tests\\SelfReg", 0, NULL, 0, KEY_ALL_ACCESS, NULL,
                         Key, NULL);
}

HRESULT WINAPI DllRegisterServer(void) {
  wchar_t path[MAX_PATH];
  HKEY key;
  DWORD one = 1;
  GetModuleFileNameW(Self, path, MAX_PATH);
  if (OpenKey(&key) != ERROR_SUCCESS) return E_FAIL;
  RegSetValueExW(key, path, 0, REG_DWORD, (const BYTE*)&one, sizeof one);
  RegCloseKey(key);
  return S_OK;
}

HRESULT WINAPI DllUnregisterServer(void) {
  wchar_t path[MAX_PATH];
  HKEY key;
  GetModuleFileNameW(Self, path, MAX_PATH);
  if (OpenKey(&key) != ERROR_SUCCESS) return E_FAIL;
  RegDeleteValueW(key, path);
  RegCloseKey(key);
  return S_OK;
}
