// The class library's in-process COM server framework: the server object of
// a library (object and lock counts, its type library, registration), class
// factories, and the ActiveX control base that wraps one of our controls and
// serves it to a container (embedding with its advise sinks, in-place
// activation, drawing into a container's device context, property bags, an
// event connection point, the dual interface through the type library).
//
// A library declares its factories at unit start-up and exports the four
// entry points through ComServer() (see DllGetClassObject ... below).
#pragma once
#include <ole2.h>
#include <ocidl.h>
#include <olectl.h>

#include <atomic>
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "classlib/Classes.h"

class TComObjectFactory;
class TActiveXControl;

std::string GUIDToString(const GUID& G);  // upper case, in braces

// The server object of the library (or program) that holds this code.
class TComServer {
public:
  HINSTANCE Module() const;
  std::string ModuleFileName() const;
  // The library's own type library (its TYPELIB resource 1); null when it
  // cannot be loaded. The server keeps the reference.
  ITypeLib* TypeLib();
  void AddFactory(TComObjectFactory* Factory);
  const std::vector<TComObjectFactory*>& Factories() const { return FFactories; }

  HRESULT GetClassObject(REFCLSID Clsid, REFIID Iid, void** Obj);
  HRESULT CanUnloadNow() const;
  // Registers the type library and every factory's class (unregistering in
  // the reverse order); failures become the result, never an exception.
  HRESULT RegisterServer();
  HRESULT UnregisterServer();

  std::atomic<long> ObjectCount{0};
  std::atomic<long> LockCount{0};

private:
  std::vector<TComObjectFactory*> FFactories;
  ITypeLib* FTypeLib = nullptr;
};
TComServer& ComServer();

// A class factory for one class of COM object. Factories live as long as the
// library; their reference count only keeps the server's lock count.
class TComObjectFactory : public IClassFactory {
public:
  TComObjectFactory(TComServer& Server, const CLSID& ClassID, std::string ClassName, std::string Description);
  virtual ~TComObjectFactory() = default;

  const CLSID& ClassID() const { return FClassID; }
  const std::string& ClassName() const { return FClassName; }
  const std::string& Description() const { return FDescription; }
  // "<library name>.<class name>".
  std::string ProgID() const;
  TComServer& Server() const { return FServer; }

  // Writes (Register) or removes the class's registry entries.
  virtual void UpdateRegistry(bool Register);

  STDMETHODIMP QueryInterface(REFIID Iid, void** Obj) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP CreateInstance(IUnknown* Outer, REFIID Iid, void** Obj) override;
  STDMETHODIMP LockServer(BOOL Lock) override;

protected:
  // A new object with one reference.
  virtual IUnknown* CreateComObject() = 0;

private:
  TComServer& FServer;
  CLSID FClassID;
  std::string FClassName;
  std::string FDescription;
};

// A small COM object of one interface I (and IUnknown), freed by its last
// Release; it starts with one reference.
template <class I, const IID& Iid>
class TInterfacedObject : public I {
public:
  virtual ~TInterfacedObject() = default;
  STDMETHODIMP QueryInterface(REFIID AskedIid, void** Obj) override {
    if (!Obj) return E_POINTER;
    if (IsEqualIID(AskedIid, IID_IUnknown) || IsEqualIID(AskedIid, Iid)) {
      *Obj = static_cast<I*>(this);
      this->AddRef();
      return S_OK;
    }
    *Obj = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++FRefCount; }
  STDMETHODIMP_(ULONG) Release() override {
    ULONG n = --FRefCount;
    if (n == 0) delete this;
    return n;
  }

private:
  std::atomic<ULONG> FRefCount{1};
};

// Makes the ActiveX object and the control it wraps.
using TActiveXObjectCreator = std::function<TActiveXControl*()>;
using TActiveXControlCreator = std::function<TComponent*()>;

class TActiveXControlFactory : public TComObjectFactory {
public:
  TActiveXControlFactory(TComServer& Server, TActiveXObjectCreator ObjectCreator,
                         TActiveXControlCreator ControlCreator, const CLSID& ClassID, int ToolboxBitmapID,
                         std::string LicStr, int MiscStatus, std::string ClassName);
  int MiscStatus() const { return FMiscStatus; }
  int ToolboxBitmapID() const { return FToolboxBitmapID; }
  // Adds the control's entries (Control, MiscStatus, ToolboxBitmap32,
  // TypeLib, Version, InprocServer32, ProgID) or removes the class key with
  // everything below it.
  void UpdateRegistry(bool Register) override;

protected:
  IUnknown* CreateComObject() override;

private:
  TActiveXObjectCreator FObjectCreator;
  TActiveXControlCreator FControlCreator;
  int FToolboxBitmapID;
  std::string FLicStr;
  int FMiscStatus;
};

// Stores Message as the calling thread's error information (source: the
// class's ProgID) and returns the error result that goes with it.
HRESULT HandleSafeCallException(const std::string& Source, const std::string& Message, HRESULT Code = E_FAIL);

// The base of an ActiveX control object: it owns the control it wraps (made
// by the factory, then handed to InitializeControl) and implements what
// containers ask of a control. A descendant adds its dual interface (and
// lists its IID in DualIID) and declares IUnknown through
// QNT_ACTIVEX_IUNKNOWN and IDispatch through QNT_ACTIVEX_IDISPATCH.
class TActiveXControl : public IOleObject,
                        public IOleInPlaceObject,
                        public IOleInPlaceActiveObject,
                        public IOleControl,
                        public IViewObject2,
                        public IPersistStreamInit,
                        public IPersistPropertyBag,
                        public IConnectionPointContainer,
                        public IProvideClassInfo2,
                        public ISupportErrorInfo {
public:
  TActiveXControl(const IID& DualIID, const IID& EventIID);
  virtual ~TActiveXControl();
  TActiveXControl(const TActiveXControl&) = delete;
  TActiveXControl& operator=(const TActiveXControl&) = delete;

  // Called by the factory right after construction.
  void Initialize(TActiveXControlFactory* Factory, TComponent* Control);
  TActiveXControlFactory* Factory() const { return FFactory; }
  TComponent* Control() const { return FControl; }
  IUnknown* EventSink() const { return FEventSink; }

  // IUnknown of the object; descendants route theirs here.
  HRESULT InnerQueryInterface(REFIID Iid, void** Obj);
  ULONG InnerAddRef();
  ULONG InnerRelease();

  // IOleObject
  STDMETHODIMP SetClientSite(IOleClientSite* Site) override;
  STDMETHODIMP GetClientSite(IOleClientSite** Site) override;
  STDMETHODIMP SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
  STDMETHODIMP Close(DWORD SaveOption) override;
  STDMETHODIMP SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
  STDMETHODIMP InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP GetClipboardData(DWORD, IDataObject**) override { return E_NOTIMPL; }
  STDMETHODIMP DoVerb(LONG Verb, LPMSG Msg, IOleClientSite* Site, LONG Index, HWND Parent,
                      LPCRECT Pos) override;
  STDMETHODIMP EnumVerbs(IEnumOLEVERB** Enum) override;
  STDMETHODIMP Update() override { return S_OK; }
  STDMETHODIMP IsUpToDate() override { return S_OK; }
  STDMETHODIMP GetUserClassID(CLSID* Clsid) override;
  STDMETHODIMP GetUserType(DWORD Form, LPOLESTR* Name) override;
  STDMETHODIMP SetExtent(DWORD Aspect, SIZEL* Size) override;
  STDMETHODIMP GetExtent(DWORD Aspect, SIZEL* Size) override;
  // The container's sinks, kept by an OLE advise holder; Close tells them.
  STDMETHODIMP Advise(IAdviseSink* Sink, DWORD* Cookie) override;
  STDMETHODIMP Unadvise(DWORD Cookie) override;
  STDMETHODIMP EnumAdvise(IEnumSTATDATA** Enum) override;
  STDMETHODIMP GetMiscStatus(DWORD Aspect, DWORD* Status) override;
  STDMETHODIMP SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

  // IOleWindow (of the in-place object and the active object)
  STDMETHODIMP GetWindow(HWND* Wnd) override;
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return S_OK; }
  // IOleInPlaceObject
  STDMETHODIMP InPlaceDeactivate() override;
  STDMETHODIMP UIDeactivate() override;
  STDMETHODIMP SetObjectRects(LPCRECT Pos, LPCRECT Clip) override;
  STDMETHODIMP ReactivateAndUndo() override { return E_NOTIMPL; }
  // IOleInPlaceActiveObject
  STDMETHODIMP TranslateAccelerator(LPMSG) override { return S_FALSE; }
  STDMETHODIMP OnFrameWindowActivate(BOOL) override { return S_OK; }
  STDMETHODIMP OnDocWindowActivate(BOOL) override { return S_OK; }
  STDMETHODIMP ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
  STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
  // IOleControl
  STDMETHODIMP GetControlInfo(CONTROLINFO* Info) override;
  STDMETHODIMP OnMnemonic(MSG*) override { return S_OK; }
  STDMETHODIMP OnAmbientPropertyChange(DISPID) override { return S_OK; }
  STDMETHODIMP FreezeEvents(BOOL) override { return S_OK; }

  // IViewObject, IViewObject2: the content drawn by ControlPaint into the
  // bounds a container gives, active in place or not (design views,
  // printing, documents). No frozen pictures are kept.
  STDMETHODIMP Draw(DWORD Aspect, LONG Index, void* AspectInfo, DVTARGETDEVICE* Target, HDC TargetDC, HDC DC,
                    LPCRECTL Bounds, LPCRECTL WBounds, BOOL(STDMETHODCALLTYPE* Continue)(ULONG_PTR),
                    ULONG_PTR ContinueArg) override;
  STDMETHODIMP GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** ColorSet) override;
  STDMETHODIMP Freeze(DWORD, LONG, void*, DWORD*) override { return E_NOTIMPL; }
  STDMETHODIMP Unfreeze(DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP SetAdvise(DWORD Aspects, DWORD Flags, IAdviseSink* Sink) override;
  STDMETHODIMP GetAdvise(DWORD* Aspects, DWORD* Flags, IAdviseSink** Sink) override;
  STDMETHODIMP GetExtent(DWORD Aspect, LONG Index, DVTARGETDEVICE* Target, SIZEL* Size) override;

  // IPersist, IPersistStreamInit, IPersistPropertyBag
  STDMETHODIMP GetClassID(CLSID* Clsid) override;
  STDMETHODIMP IsDirty() override { return S_FALSE; }
  STDMETHODIMP Load(LPSTREAM) override { return S_OK; }
  STDMETHODIMP Save(LPSTREAM, BOOL) override { return S_OK; }
  STDMETHODIMP GetSizeMax(ULARGE_INTEGER* Size) override;
  STDMETHODIMP InitNew() override { return S_OK; }
  STDMETHODIMP Load(IPropertyBag* Bag, IErrorLog* Log) override;
  STDMETHODIMP Save(IPropertyBag* Bag, BOOL ClearDirty, BOOL SaveAll) override;

  // IConnectionPointContainer (one point: the event interface)
  STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** Enum) override;
  STDMETHODIMP FindConnectionPoint(REFIID Iid, IConnectionPoint** Point) override;
  // IProvideClassInfo2
  STDMETHODIMP GetClassInfo(ITypeInfo** Info) override;
  STDMETHODIMP GetGUID(DWORD Kind, GUID* Guid) override;
  // ISupportErrorInfo
  STDMETHODIMP InterfaceSupportsErrorInfo(REFIID Iid) override;

protected:
  // The dual interface of the descendant (this object seen as it).
  virtual IDispatch* DualInterface() = 0;
  // Hooks of the descendant, in this order of calls.
  virtual void DefinePropertyPages() {}
  virtual void EventSinkChanged(IUnknown* /*Sink*/) {}
  virtual void InitializeControl() {}
  virtual HRESULT PersistPropertyBagLoad(IPropertyBag* Bag, IErrorLog* Log);
  virtual HRESULT PersistPropertyBagSave(IPropertyBag* Bag, BOOL ClearDirty, BOOL SaveAll);

  // The wrapped control's window: made inside Parent at Pos when the
  // container activates the control in place, moved, shown or hidden, and
  // taken out of the container's window before the object goes.
  virtual HWND ControlCreateWindow(HWND Parent, const RECT& Pos);
  virtual void ControlSetBounds(const RECT& Pos);
  virtual void ControlShow(bool Visible);
  virtual void ControlReleaseWindow();
  // Draws the wrapped control into Bounds of DC (whose state is restored
  // afterwards); nothing in this base.
  virtual void ControlPaint(HDC DC, const RECT& Bounds);
  // The control's look changed: the container's view sink hears it.
  void ViewChanged();

  // IDispatch through the type library's description of the dual interface.
  HRESULT DispGetTypeInfoCount(UINT* Count);
  HRESULT DispGetTypeInfo(UINT Index, LCID Lcid, ITypeInfo** Info);
  HRESULT DispGetIDsOfNames(REFIID Iid, LPOLESTR* Names, UINT Count, LCID Lcid, DISPID* Ids);
  HRESULT DispInvoke(DISPID Id, REFIID Iid, LCID Lcid, WORD Flags, DISPPARAMS* Params, VARIANT* Result,
                     EXCEPINFO* ExcepInfo, UINT* ArgErr);

  // Runs Body; an exception becomes an error result with error information
  // instead of leaving the COM method.
  HRESULT SafeCall(const std::function<void()>& Body);

private:
  HRESULT InPlaceActivate(bool UIActivate);
  IOleAdviseHolder* AdviseHolder();
  ITypeInfo* DualTypeInfo();  // the interface half (vtable) of the dual interface

  class TConnectionPoint;
  std::atomic<ULONG> FRefCount{1};
  IID FDualIID;
  IID FEventIID;
  TActiveXControlFactory* FFactory = nullptr;
  TComponent* FControl = nullptr;
  IOleClientSite* FClientSite = nullptr;
  IOleInPlaceSite* FInPlaceSite = nullptr;
  HWND FWindow = nullptr;
  bool FInPlaceActive = false;
  bool FUIActive = false;
  SIZEL FExtent{2000, 660};  // HIMETRIC, about 75 x 25 pixels
  IUnknown* FEventSink = nullptr;
  TConnectionPoint* FConnectionPoint = nullptr;
  IOleAdviseHolder* FAdviseHolder = nullptr;  // made when first needed
  IAdviseSink* FViewSink = nullptr;
  DWORD FViewAspects = 0;
  DWORD FViewFlags = 0;
  ITypeInfo* FDualTypeInfo = nullptr;
};

// Inside a descendant's class body: its IUnknown and IDispatch (which the
// dual interface and every framework interface share).
#define QNT_ACTIVEX_IUNKNOWN                                                                   \
  STDMETHODIMP QueryInterface(REFIID Iid, void** Obj) override { return InnerQueryInterface(Iid, Obj); } \
  STDMETHODIMP_(ULONG) AddRef() override { return InnerAddRef(); }                             \
  STDMETHODIMP_(ULONG) Release() override { return InnerRelease(); }
#define QNT_ACTIVEX_IDISPATCH                                                                  \
  STDMETHODIMP GetTypeInfoCount(UINT* Count) override { return DispGetTypeInfoCount(Count); }  \
  STDMETHODIMP GetTypeInfo(UINT Index, LCID Lcid, ITypeInfo** Info) override {                 \
    return DispGetTypeInfo(Index, Lcid, Info);                                                 \
  }                                                                                            \
  STDMETHODIMP GetIDsOfNames(REFIID Iid, LPOLESTR* Names, UINT Count, LCID Lcid, DISPID* Ids) override { \
    return DispGetIDsOfNames(Iid, Names, Count, Lcid, Ids);                                    \
  }                                                                                            \
  STDMETHODIMP Invoke(DISPID Id, REFIID Iid, LCID Lcid, WORD Flags, DISPPARAMS* Params, VARIANT* Result, \
                      EXCEPINFO* ExcepInfo, UINT* ArgErr) override {                           \
    return DispInvoke(Id, Iid, Lcid, Flags, Params, Result, ExcepInfo, ArgErr);                \
  }

// COM failures as exceptions.
class EOleError : public Exception {
public:
  using Exception::Exception;
};

// A failed COM call: ErrorCode holds its HRESULT, the message is the system's
// wording of it.
class EOleSysError : public EOleError {
public:
  EOleSysError(const std::string& Msg, int32_t Code) : EOleError(Msg), ErrorCode(Code) {}
  int32_t ErrorCode;
};

// Raises EOleSysError for a failure code (negative HRESULT); returns the code otherwise.
int32_t OleCheck(int32_t Result);
