// A COM container of our own for the web-install control (no browser here
// hosts ActiveX controls): the library's entry points, a property bag filled
// like a page's OBJECT element, a client site with an in-place site on a
// window, calls through IDispatch, and a message pump.
#pragma once
#include <ole2.h>
#include <ocidl.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace fetchkit {

// Fetchkit.ocx beside the test program, loaded once.
std::string OcxPath();
HMODULE Ocx();
HRESULT CallEntry(const char* Name);  // DllRegisterServer, DllUnregisterServer

// OleInitialize for the test's thread and DllRegisterServer once.
void StartHost();
// A new control through CoCreateInstance, as its IDispatch.
IDispatch* CreateControl();

// The PARAM elements of the shipped example page, in page order.
std::vector<std::pair<std::string, std::string>> ExamplePageParams();

// An IPropertyBag that answers from its map (as text) and records the names
// it was asked for, in order.
class TPageBag : public IPropertyBag {
public:
  std::map<std::wstring, std::wstring> Values;
  std::vector<std::wstring> Asked;
  STDMETHODIMP QueryInterface(REFIID Iid, void** Obj) override;
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP Read(LPCOLESTR Name, VARIANT* Var, IErrorLog* Log) override;
  STDMETHODIMP Write(LPCOLESTR, VARIANT*) override { return E_NOTIMPL; }
  void Set(const std::string& Name, const std::string& Value);
};
HRESULT LoadBag(IDispatch* Control, TPageBag& Bag);

// Property access and method calls by DISPID.
HRESULT GetProp(IDispatch* D, DISPID Id, VARIANT& Result);
std::string GetText(IDispatch* D, DISPID Id);
HRESULT PutProp(IDispatch* D, DISPID Id, VARIANT Value);
HRESULT CallMethod(IDispatch* D, DISPID Id, EXCEPINFO* Info = nullptr);

// Handles this thread's messages until Done() or TimeoutMs passed; Done()'s
// last answer.
bool PumpUntil(const std::function<bool()>& Done, int TimeoutMs);
void PumpFor(int Ms);

// A client site with an in-place site on a shown window of the test (the
// page): the control is placed at Pos inside it.
class TPageSite : public IOleClientSite, public IOleInPlaceSite {
public:
  TPageSite();
  ~TPageSite();
  HWND Window = nullptr;
  RECT Pos{20, 40, 95, 65};  // the example page's 75 x 25 pixels
  int Activations = 0;
  STDMETHODIMP QueryInterface(REFIID Iid, void** Obj) override;
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  // IOleClientSite
  STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
  STDMETHODIMP GetContainer(IOleContainer** C) override;
  STDMETHODIMP ShowObject() override { return S_OK; }
  STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
  STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }
  // IOleWindow, IOleInPlaceSite
  STDMETHODIMP GetWindow(HWND* Wnd) override;
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnInPlaceActivate() override;
  STDMETHODIMP OnUIActivate() override { return S_OK; }
  STDMETHODIMP GetWindowContext(IOleInPlaceFrame** Frame, IOleInPlaceUIWindow** Doc, LPRECT PosRect,
                                LPRECT ClipRect, LPOLEINPLACEFRAMEINFO Info) override;
  STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
  STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
  STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
  STDMETHODIMP DiscardUndoState() override { return S_OK; }
  STDMETHODIMP DeactivateAndUndo() override { return S_OK; }
  STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }
};
// Gives Control the site and activates it in place; the control's window.
HWND ActivateInPlace(IDispatch* Control, TPageSite& Site);
// A click of the left button at (X, Y) of Wnd's client area, by its messages.
void ClickAt(HWND Wnd, int X, int Y);
// A shown top-level window of this thread with this caption (not Except).
HWND FindShownWindow(const std::wstring& Caption, HWND Except = nullptr);
// The first child window of Parent of that class (and text, when given).
HWND FindChild(HWND Parent, const std::wstring& Class, const std::wstring& Text = L"");
// A picture of Window into $QNT_SCREENSHOTS/<Name>.png, when asked for.
void Picture(const std::string& Name, HWND Window);

// The file "<name>.started" that the stub program writes next to itself,
// looked for in every "qnt*" folder of the temporary directory; "" if none.
std::string FindStartedStub(const std::string& StubName);
// The work folder (under the temporary directory) that holds StubName.
std::string FindDownloaded(const std::string& StubName);

}  // namespace fetchkit
