#include "webcontrol/FetchkitHost.h"

#include <windows.h>

#include <cstdlib>
#include <stdexcept>

#include "classlib/SysUtils.h"
#include "classlib/WinText.h"
#include "common/PageRunner.h"
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
// The page around the control: its one line of text above it.
LRESULT CALLBACK PageProc(HWND W, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (Msg == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(W, &ps);
    RECT r{8, 8, 340, 36};
    SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    DrawTextW(dc, L"To start the installation, wait for the panel below to appear and then click on it.", -1, &r,
              DT_WORDBREAK);
    EndPaint(W, &ps);
    return 0;
  }
  return DefWindowProcW(W, Msg, WParam, LParam);
}
}  // namespace

TPageSite::TPageSite() {
  static bool registered = false;
  if (!registered) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = PageProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = L"QntTestPage";
    RegisterClassW(&wc);
    registered = true;
  }
  Window = CreateWindowExW(0, L"QntTestPage", L"Web installation", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE,
                           10, 10, 360, 160, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!Window) throw std::runtime_error("cannot make the page window");
  UpdateWindow(Window);
}

TPageSite::~TPageSite() {
  if (Window) DestroyWindow(Window);
}

STDMETHODIMP TPageSite::QueryInterface(REFIID Iid, void** Obj) {
  if (IsEqualIID(Iid, IID_IUnknown) || IsEqualIID(Iid, IID_IOleClientSite))
    *Obj = static_cast<IOleClientSite*>(this);
  else if (IsEqualIID(Iid, IID_IOleWindow) || IsEqualIID(Iid, IID_IOleInPlaceSite))
    *Obj = static_cast<IOleInPlaceSite*>(this);
  else {
    *Obj = nullptr;
    return E_NOINTERFACE;
  }
  return S_OK;
}

STDMETHODIMP TPageSite::GetContainer(IOleContainer** C) {
  *C = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP TPageSite::GetWindow(HWND* Wnd) {
  *Wnd = Window;
  return S_OK;
}

STDMETHODIMP TPageSite::OnInPlaceActivate() {
  ++Activations;
  return S_OK;
}

STDMETHODIMP TPageSite::GetWindowContext(IOleInPlaceFrame** Frame, IOleInPlaceUIWindow** Doc, LPRECT PosRect,
                                         LPRECT ClipRect, LPOLEINPLACEFRAMEINFO Info) {
  *Frame = nullptr;
  *Doc = nullptr;
  *PosRect = Pos;
  GetClientRect(Window, ClipRect);
  Info->fMDIApp = FALSE;
  Info->hwndFrame = Window;
  Info->haccel = nullptr;
  Info->cAccelEntries = 0;
  return S_OK;
}

HWND ActivateInPlace(IDispatch* Control, TPageSite& Site) {
  IOleObject* ole = nullptr;
  if (FAILED(Control->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&ole))))
    throw std::runtime_error("no IOleObject");
  HWND wnd = nullptr;
  if (SUCCEEDED(ole->SetClientSite(&Site)) &&
      SUCCEEDED(ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &Site, 0, Site.Window, &Site.Pos))) {
    IOleInPlaceObject* ip = nullptr;
    if (SUCCEEDED(ole->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&ip)))) {
      ip->GetWindow(&wnd);
      ip->Release();
    }
  }
  ole->Release();
  return wnd;
}

void ClickAt(HWND Wnd, int X, int Y) {
  PostMessageW(Wnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(X, Y));
  PostMessageW(Wnd, WM_LBUTTONUP, 0, MAKELPARAM(X, Y));
}

namespace {
struct TWindowSearch {
  std::wstring Caption;
  HWND Except;
  HWND Found = nullptr;
};

// A plain callback (a lambda is no stdcall function on 32-bit Windows).
BOOL CALLBACK MatchShownWindow(HWND W, LPARAM L) {
  auto* s = reinterpret_cast<TWindowSearch*>(L);
  // Only this thread's: asking another thread's window for its text waits
  // for that thread (a download thread that pumps no messages).
  if (GetWindowThreadProcessId(W, nullptr) != GetCurrentThreadId()) return TRUE;
  wchar_t text[256] = {};
  GetWindowTextW(W, text, 256);
  if (W != s->Except && IsWindowVisible(W) && s->Caption == text) {
    s->Found = W;
    return FALSE;
  }
  return TRUE;
}
}  // namespace

HWND FindShownWindow(const std::wstring& Caption, HWND Except) {
  TWindowSearch s{Caption, Except};
  EnumWindows(MatchShownWindow, reinterpret_cast<LPARAM>(&s));
  return s.Found;
}

HWND FindChild(HWND Parent, const std::wstring& Class, const std::wstring& Text) {
  for (HWND c = FindWindowExW(Parent, nullptr, Class.c_str(), nullptr); c;
       c = FindWindowExW(Parent, c, Class.c_str(), nullptr)) {
    wchar_t text[256] = {};
    GetWindowTextW(c, text, 256);
    if (Text.empty() || Text == text) return c;
  }
  return nullptr;
}

void Picture(const std::string& Name, HWND Window) {
  const char* dir = std::getenv("QNT_SCREENSHOTS");
  if (!dir || !*dir) return;
  PumpFor(300);
  if (!testsupport::Screenshot(Window, std::string(dir) + "/" + Name + ".png"))
    throw std::runtime_error("no picture of " + Name);
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
