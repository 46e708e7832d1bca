/* The product's shared library: a DLL that other products of its maker use
   too, installed into Common Files and replaced only by a newer version (see
   JournalShared.rc for its version). */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE Instance, DWORD Reason, LPVOID Reserved) {
  (void)Instance;
  (void)Reason;
  (void)Reserved;
  return TRUE;
}
