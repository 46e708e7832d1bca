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

// The file "<name>.started" that the stub program writes next to itself,
// looked for in every "qnt*" folder of the temporary directory; "" if none.
std::string FindStartedStub(const std::string& StubName);
// The work folder (under the temporary directory) that holds StubName.
std::string FindDownloaded(const std::string& StubName);

}  // namespace fetchkit
