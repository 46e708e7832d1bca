// The control library Fetchkit.ocx: the COM server's entry points. The
// library's units (the control's factory, WinSock) start on the first call
// of one of them, never while the library is being loaded.
#include <windows.h>

#include "classlib/ComObj.h"
#include "webcontrol/FetchkitImpl.h"

extern "C" {

HRESULT __stdcall DllGetClassObject(REFCLSID Clsid, REFIID Iid, void** Obj) {
  EnsureFetchkitStarted();
  return ComServer().GetClassObject(Clsid, Iid, Obj);
}

HRESULT __stdcall DllCanUnloadNow() { return ComServer().CanUnloadNow(); }

HRESULT __stdcall DllRegisterServer() {
  EnsureFetchkitStarted();
  return ComServer().RegisterServer();
}

HRESULT __stdcall DllUnregisterServer() {
  EnsureFetchkitStarted();
  return ComServer().UnregisterServer();
}

}  // extern "C"
