// The control library Fetchkit.ocx: the COM server's entry points. The
// library's units (the control's factory, WinSock) start on the first call
// of one of them, never while the library is being loaded. No exception
// leaves an entry point: the caller is a container or a registration tool.
#include <windows.h>

#include "classlib/ComObj.h"
#include "classlib/Units.h"
#include "webcontrol/FetchkitImpl.h"

namespace {
template <class F>
HRESULT Guarded(F Body, HRESULT Failure) {
  try {
    return Body();
  } catch (...) {
    return Failure;
  }
}
}  // namespace

extern "C" {

HRESULT __stdcall DllGetClassObject(REFCLSID Clsid, REFIID Iid, void** Obj) {
  if (Obj) *Obj = nullptr;
  return Guarded(
      [&] {
        EnsureFetchkitStarted();
        return ComServer().GetClassObject(Clsid, Iid, Obj);
      },
      CLASS_E_CLASSNOTAVAILABLE);
}

// Once its units have started (WinSock, the control's factory), the library
// stays until the process ends: nothing finishes them under a container's
// unload, and a start made from a page may still be running.
HRESULT __stdcall DllCanUnloadNow() { return UnitsInitialized() ? S_FALSE : ComServer().CanUnloadNow(); }

HRESULT __stdcall DllRegisterServer() {
  return Guarded(
      [] {
        EnsureFetchkitStarted();
        return ComServer().RegisterServer();
      },
      SELFREG_E_CLASS);
}

HRESULT __stdcall DllUnregisterServer() {
  return Guarded(
      [] {
        EnsureFetchkitStarted();
        return ComServer().UnregisterServer();
      },
      SELFREG_E_CLASS);
}

}  // extern "C"
