#include "webcontrol/FetchkitHost.h"

#include <windows.h>

#include <stdexcept>

#include "classlib/SysUtils.h"
#include "classlib/WinText.h"
#include "common/TestSupport.h"
#include "webcontrol/Fetchkit_TLB.h"

#ifndef QNT_SOURCE_DIR
#error QNT_SOURCE_DIR must name the source tree
#endif

namespace fetchkit {

std::string OcxPath() { return testsupport::BinDir() + "\\Fetchkit.ocx"; }

HMODULE Ocx() {
  static HMODULE h = LoadLibraryW(Widen(OcxPath()).c_str());
  if (!h) throw std::runtime_error("cannot load " + OcxPath());
  return h;
}

HRESULT CallEntry(const char* Name) {
  auto f = reinterpret_cast<HRESULT(__stdcall*)()>(reinterpret_cast<void*>(GetProcAddress(Ocx(), Name)));
  if (!f) throw std::runtime_error(std::string("no export ") + Name);
  return f();
}

void StartHost() {
  static bool started = false;
  if (started) return;
  started = true;
  OleInitialize(nullptr);
  if (FAILED(CallEntry("DllRegisterServer"))) throw std::runtime_error("DllRegisterServer failed");
}

IDispatch* CreateControl() {
  StartHost();
  IDispatch* d = nullptr;
  HRESULT hr = CoCreateInstance(CLASS_FetchkitX, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                reinterpret_cast<void**>(&d));
  if (FAILED(hr) || !d) throw std::runtime_error("CoCreateInstance failed: " + IntToHex(static_cast<uint32_t>(hr), 8));
  return d;
}

std::vector<std::pair<std::string, std::string>> ExamplePageParams() {
  std::string page = testsupport::ReadFileText("Z:" + StringReplaceAll(std::string(QNT_SOURCE_DIR), "/", "\\") +
                                               "\\webcontrol\\fetchkit_ExampleWebPage.htm");
  std::vector<std::pair<std::string, std::string>> r;
  const std::string nameTag = "<PARAM NAME=\"", valueTag = "VALUE=\"";
  for (size_t p = page.find(nameTag); p != std::string::npos; p = page.find(nameTag, p + 1)) {
    size_t n0 = p + nameTag.size(), n1 = page.find('"', n0);
    size_t v0 = page.find(valueTag, n1) + valueTag.size(), v1 = page.find('"', v0);
    r.emplace_back(page.substr(n0, n1 - n0), page.substr(v0, v1 - v0));
  }
  return r;
}

STDMETHODIMP TPageBag::QueryInterface(REFIID Iid, void** Obj) {
  if (IsEqualIID(Iid, IID_IUnknown) || IsEqualIID(Iid, IID_IPropertyBag)) {
    *Obj = static_cast<IPropertyBag*>(this);
    return S_OK;
  }
  *Obj = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP TPageBag::Read(LPCOLESTR Name, VARIANT* Var, IErrorLog*) {
  Asked.emplace_back(Name);
  auto it = Values.find(Name);
  if (it == Values.end()) return E_INVALIDARG;
  V_VT(Var) = VT_BSTR;
  V_BSTR(Var) = SysAllocString(it->second.c_str());
  return S_OK;
}

void TPageBag::Set(const std::string& Name, const std::string& Value) { Values[Widen(Name)] = Widen(Value); }

HRESULT LoadBag(IDispatch* Control, TPageBag& Bag) {
  IPersistPropertyBag* p = nullptr;
  HRESULT hr = Control->QueryInterface(IID_IPersistPropertyBag, reinterpret_cast<void**>(&p));
  if (FAILED(hr)) return hr;
  p->InitNew();
  hr = p->Load(&Bag, nullptr);
  p->Release();
  return hr;
}

HRESULT GetProp(IDispatch* D, DISPID Id, VARIANT& Result) {
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  VariantInit(&Result);
  return D->Invoke(Id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &Result, nullptr, nullptr);
}

std::string GetText(IDispatch* D, DISPID Id) {
  VARIANT v;
  if (FAILED(GetProp(D, Id, v)) || V_VT(&v) != VT_BSTR) {
    VariantClear(&v);
    return "<error>";
  }
  std::string r = Narrow(V_BSTR(&v), SysStringLen(V_BSTR(&v)));
  VariantClear(&v);
  return r;
}

HRESULT PutProp(IDispatch* D, DISPID Id, VARIANT Value) {
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS p = {&Value, &named, 1, 1};
  return D->Invoke(Id, IID_NULL, 0, DISPATCH_PROPERTYPUT, &p, nullptr, nullptr, nullptr);
}

HRESULT CallMethod(IDispatch* D, DISPID Id, EXCEPINFO* Info) {
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  return D->Invoke(Id, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, Info, nullptr);
}

bool PumpUntil(const std::function<bool()>& Done, int TimeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&m);
      DispatchMessageW(&m);
    }
    if (Done()) return true;
    if (static_cast<int>(GetTickCount() - start) > TimeoutMs) return Done();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
}

void PumpFor(int Ms) {
  PumpUntil([] { return false; }, Ms);
}

namespace {
std::string TempDir() {
  wchar_t tmp[MAX_PATH];
  DWORD n = GetTempPathW(MAX_PATH, tmp);
  return ExcludeTrailingBackslash(Narrow(std::wstring(tmp, n)));
}

std::string FindInWorkFolders(const std::string& Name) {
  std::string base = TempDir();
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(Widen(base + "\\qnt*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return "";
  std::string found;
  do {
    if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
    std::string p = base + "\\" + Narrow(std::wstring(fd.cFileName)) + "\\" + Name;
    if (FileExists(p)) {
      found = p;
      break;
    }
  } while (FindNextFileW(h, &fd));
  FindClose(h);
  return found;
}
}  // namespace

std::string FindStartedStub(const std::string& StubName) { return FindInWorkFolders(StubName + ".started"); }
std::string FindDownloaded(const std::string& StubName) { return FindInWorkFolders(StubName); }

}  // namespace fetchkit
