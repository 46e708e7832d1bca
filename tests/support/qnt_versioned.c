/* A library that carries nothing but its version block: the version reader's
   tests build it with several versions (see qnt_versioned.rc). */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE Instance, DWORD Reason, LPVOID Reserved) {
  (void)Instance;
  (void)Reason;
  (void)Reserved;
  return TRUE;
}
