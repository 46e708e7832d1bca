#include "classlib/ComObj.h"

#include <cstdio>
#include <new>

#include "classlib/Registry.h"
#include "classlib/SysUtils.h"
#include "classlib/WinText.h"

namespace {

HINSTANCE ThisModule() {
  HMODULE m = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&ThisModule), &m);
  return m;
}

std::string RegName(const std::string& Key) { return "\\" + Key; }

void WriteKey(const std::string& Key, const std::string& ValueName, const std::string& Value) {
  TRegistry reg;
  reg.SetRootKey(HKEY_CLASSES_ROOT);
  if (!reg.OpenKey(RegName(Key), true)) throw EOSError("Cannot create the registry key " + Key);
  reg.WriteString(ValueName, Value);
}

void DeleteTree(const std::string& Key) {
  TRegistry reg;
  reg.SetRootKey(HKEY_CLASSES_ROOT);
  reg.DeleteKeyTree(RegName(Key));
}

// The text of the exception being handled (inside a catch block).
std::string CurrentExceptionMessage() {
  try {
    throw;
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "Unknown exception";
  }
}

// The error result of the exception being handled, with error information
// naming the factory's class as its source.
HRESULT CurrentExceptionResult(const TComObjectFactory* Factory) {
  std::string message = CurrentExceptionMessage();
  std::string source;
  try {
    if (Factory) source = Factory->ProgID();
  } catch (...) {
  }
  return HandleSafeCallException(source, message);
}

}  // namespace

std::string GUIDToString(const GUID& G) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned long>(G.Data1), G.Data2, G.Data3, G.Data4[0], G.Data4[1], G.Data4[2],
                G.Data4[3], G.Data4[4], G.Data4[5], G.Data4[6], G.Data4[7]);
  return buf;
}

HRESULT HandleSafeCallException(const std::string& Source, const std::string& Message, HRESULT Code) {
  ICreateErrorInfo* create = nullptr;
  if (SUCCEEDED(CreateErrorInfo(&create))) {
    std::wstring src = Widen(Source), msg = Widen(Message);
    create->SetSource(const_cast<LPOLESTR>(src.c_str()));
    create->SetDescription(const_cast<LPOLESTR>(msg.c_str()));
    create->SetGUID(GUID_NULL);
    IErrorInfo* info = nullptr;
    if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
      SetErrorInfo(0, info);
      info->Release();
    }
    create->Release();
  }
  return Code;
}

// ---------------------------------------------------------------- TComServer

TComServer& ComServer() {
  static TComServer server;
  return server;
}

HINSTANCE TComServer::Module() const { return ThisModule(); }

std::string TComServer::ModuleFileName() const {
  wchar_t buf[MAX_PATH + 2] = {};
  DWORD n = GetModuleFileNameW(Module(), buf, MAX_PATH + 1);
  return Narrow(std::wstring(buf, n));
}

ITypeLib* TComServer::TypeLib() {
  if (!FTypeLib) {
    // A path that names a library loads its TYPELIB resource 1.
    std::wstring path = Widen(ModuleFileName());
    if (FAILED(LoadTypeLibEx(path.c_str(), REGKIND_NONE, &FTypeLib))) FTypeLib = nullptr;
  }
  return FTypeLib;
}

void TComServer::AddFactory(TComObjectFactory* Factory) { FFactories.push_back(Factory); }

HRESULT TComServer::GetClassObject(REFCLSID Clsid, REFIID Iid, void** Obj) {
  if (!Obj) return E_POINTER;
  *Obj = nullptr;
  for (TComObjectFactory* f : FFactories)
    if (IsEqualCLSID(f->ClassID(), Clsid)) return f->QueryInterface(Iid, Obj);
  return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT TComServer::CanUnloadNow() const { return (ObjectCount == 0 && LockCount == 0) ? S_OK : S_FALSE; }

HRESULT TComServer::RegisterServer() {
  try {
    ITypeLib* lib = TypeLib();
    if (!lib) return TYPE_E_CANTLOADLIBRARY;
    std::wstring path = Widen(ModuleFileName());
    HRESULT hr = RegisterTypeLib(lib, const_cast<LPOLESTR>(path.c_str()), nullptr);
    if (FAILED(hr)) return hr;
    for (TComObjectFactory* f : FFactories) f->UpdateRegistry(true);
    return S_OK;
  } catch (...) {
    return SELFREG_E_CLASS;
  }
}

HRESULT TComServer::UnregisterServer() {
  try {
    for (auto it = FFactories.rbegin(); it != FFactories.rend(); ++it) (*it)->UpdateRegistry(false);
    if (ITypeLib* lib = TypeLib()) {
      TLIBATTR* attr = nullptr;
      if (SUCCEEDED(lib->GetLibAttr(&attr))) {
        UnRegisterTypeLib(attr->guid, attr->wMajorVerNum, attr->wMinorVerNum, attr->lcid, attr->syskind);
        lib->ReleaseTLibAttr(attr);
      }
    }
    return S_OK;
  } catch (...) {
    return SELFREG_E_CLASS;
  }
}

// ---------------------------------------------------------------- factories

TComObjectFactory::TComObjectFactory(TComServer& Server, const CLSID& ClassID, std::string ClassName,
                                     std::string Description)
    : FServer(Server), FClassID(ClassID), FClassName(std::move(ClassName)), FDescription(std::move(Description)) {
  Server.AddFactory(this);
}

std::string TComObjectFactory::ProgID() const {
  std::string lib = ChangeFileExt(ExtractFileName(FServer.ModuleFileName()), "");
  return lib + "." + FClassName;
}

STDMETHODIMP TComObjectFactory::QueryInterface(REFIID Iid, void** Obj) {
  if (!Obj) return E_POINTER;
  if (IsEqualIID(Iid, IID_IUnknown) || IsEqualIID(Iid, IID_IClassFactory)) {
    *Obj = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  *Obj = nullptr;
  return E_NOINTERFACE;
}

// The factory lives as long as the library: its references only hold the
// server.
STDMETHODIMP_(ULONG) TComObjectFactory::AddRef() { return static_cast<ULONG>(++FServer.LockCount); }
STDMETHODIMP_(ULONG) TComObjectFactory::Release() { return static_cast<ULONG>(--FServer.LockCount); }

STDMETHODIMP TComObjectFactory::CreateInstance(IUnknown* Outer, REFIID Iid, void** Obj) {
  if (!Obj) return E_POINTER;
  *Obj = nullptr;
  if (Outer) return CLASS_E_NOAGGREGATION;
  IUnknown* unk = nullptr;
  try {
    unk = CreateComObject();
  } catch (...) {
    return CurrentExceptionResult(this);
  }
  if (!unk) return E_OUTOFMEMORY;
  HRESULT hr = unk->QueryInterface(Iid, Obj);
  unk->Release();
  return hr;
}

STDMETHODIMP TComObjectFactory::LockServer(BOOL Lock) {
  if (Lock)
    ++FServer.LockCount;
  else
    --FServer.LockCount;
  return S_OK;
}

void TComObjectFactory::UpdateRegistry(bool Register) {
  std::string clsid = GUIDToString(FClassID);
  std::string key = "CLSID\\" + clsid;
  if (Register) {
    WriteKey(key, "", FDescription);
    WriteKey(key + "\\InprocServer32", "", FServer.ModuleFileName());
    WriteKey(key + "\\InprocServer32", "ThreadingModel", "Apartment");
    WriteKey(key + "\\ProgID", "", ProgID());
    WriteKey(ProgID(), "", FDescription);
    WriteKey(ProgID() + "\\Clsid", "", clsid);
  } else {
    DeleteTree(ProgID());
    DeleteTree(key);
  }
}

TActiveXControlFactory::TActiveXControlFactory(TComServer& Server, TActiveXObjectCreator ObjectCreator,
                                               TActiveXControlCreator ControlCreator, const CLSID& ClassID,
                                               int ToolboxBitmapID, std::string LicStr, int MiscStatus,
                                               std::string ClassName)
    : TComObjectFactory(Server, ClassID, ClassName, ClassName + " Control"),
      FObjectCreator(std::move(ObjectCreator)),
      FControlCreator(std::move(ControlCreator)),
      FToolboxBitmapID(ToolboxBitmapID),
      FLicStr(std::move(LicStr)),
      FMiscStatus(MiscStatus) {}

void TActiveXControlFactory::UpdateRegistry(bool Register) {
  std::string key = "CLSID\\" + GUIDToString(ClassID());
  if (Register) {
    TComObjectFactory::UpdateRegistry(true);
    WriteKey(key + "\\Control", "", "");
    WriteKey(key + "\\MiscStatus", "", "0");
    WriteKey(key + "\\MiscStatus\\1", "", IntToStr(FMiscStatus));
    WriteKey(key + "\\ToolboxBitmap32", "", Server().ModuleFileName() + "," + IntToStr(FToolboxBitmapID));
    if (ITypeLib* lib = Server().TypeLib()) {
      TLIBATTR* attr = nullptr;
      if (SUCCEEDED(lib->GetLibAttr(&attr))) {
        WriteKey(key + "\\TypeLib", "", GUIDToString(attr->guid));
        WriteKey(key + "\\Version", "", IntToStr(attr->wMajorVerNum) + "." + IntToStr(attr->wMinorVerNum));
        lib->ReleaseTLibAttr(attr);
      }
    }
  } else {
    TComObjectFactory::UpdateRegistry(false);
  }
}

IUnknown* TActiveXControlFactory::CreateComObject() {
  TActiveXControl* obj = FObjectCreator();
  TComponent* control = nullptr;
  try {
    control = FControlCreator();
    obj->Initialize(this, control);
  } catch (...) {
    obj->InnerRelease();
    throw;
  }
  return static_cast<IOleObject*>(obj);
}

// ---------------------------------------------------------------- enumerators

namespace {

// What an enumerator hands out carries a reference of its own.
void Hold(IUnknown* Item) { Item->AddRef(); }
void Hold(const CONNECTDATA& Item) { Item.pUnk->AddRef(); }
void LetGo(IUnknown* Item) { Item->Release(); }
void LetGo(const CONNECTDATA& Item) { Item.pUnk->Release(); }

// An enumerator over the items of the moment it was made (holding them), for
// the framework's IEnumXxx interfaces.
template <class IEnum, class Item, const IID& EnumIID>
class TEnumerator : public TInterfacedObject<IEnum, EnumIID> {
public:
  explicit TEnumerator(std::vector<Item> Items, size_t Pos = 0) : FItems(std::move(Items)), FPos(Pos) {
    for (const Item& i : FItems) Hold(i);
    ++ComServer().ObjectCount;
  }
  ~TEnumerator() override {
    for (const Item& i : FItems) LetGo(i);
    --ComServer().ObjectCount;
  }
  STDMETHODIMP Next(ULONG Count, Item* Items, ULONG* Fetched) override {
    if (!Items) return E_POINTER;
    if (Count != 1 && !Fetched) return E_INVALIDARG;
    ULONG n = 0;
    for (; n < Count && FPos < FItems.size(); ++n, ++FPos) {
      Items[n] = FItems[FPos];
      Hold(Items[n]);
    }
    if (Fetched) *Fetched = n;
    return n == Count ? S_OK : S_FALSE;
  }
  STDMETHODIMP Skip(ULONG Count) override {
    size_t left = FItems.size() - FPos;
    FPos += Count < left ? Count : left;
    return Count <= left ? S_OK : S_FALSE;
  }
  STDMETHODIMP Reset() override {
    FPos = 0;
    return S_OK;
  }
  STDMETHODIMP Clone(IEnum** Enum) override {
    if (!Enum) return E_POINTER;
    *Enum = new (std::nothrow) TEnumerator(FItems, FPos);
    return *Enum ? S_OK : E_OUTOFMEMORY;
  }

private:
  std::vector<Item> FItems;
  size_t FPos;
};

using TEnumConnectionPoints = TEnumerator<IEnumConnectionPoints, IConnectionPoint*, IID_IEnumConnectionPoints>;
using TEnumConnections = TEnumerator<IEnumConnections, CONNECTDATA, IID_IEnumConnections>;

}  // namespace

// ---------------------------------------------------------------- connection point

class TActiveXControl::TConnectionPoint : public IConnectionPoint {
public:
  explicit TConnectionPoint(TActiveXControl* Owner) : FOwner(Owner) {}
  virtual ~TConnectionPoint() = default;
  STDMETHODIMP QueryInterface(REFIID Iid, void** Obj) override {
    if (!Obj) return E_POINTER;
    if (IsEqualIID(Iid, IID_IUnknown) || IsEqualIID(Iid, IID_IConnectionPoint)) {
      *Obj = static_cast<IConnectionPoint*>(this);
      AddRef();
      return S_OK;
    }
    *Obj = nullptr;
    return E_NOINTERFACE;
  }
  // Lives inside the control object and keeps it alive.
  STDMETHODIMP_(ULONG) AddRef() override { return FOwner->InnerAddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return FOwner->InnerRelease(); }
  STDMETHODIMP GetConnectionInterface(IID* Iid) override {
    if (!Iid) return E_POINTER;
    *Iid = FOwner->FEventIID;
    return S_OK;
  }
  STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** C) override {
    if (!C) return E_POINTER;
    *C = FOwner;
    FOwner->InnerAddRef();
    return S_OK;
  }
  // One sink at a time, as a control has one container.
  STDMETHODIMP Advise(IUnknown* Sink, DWORD* Cookie) override {
    if (!Sink || !Cookie) return E_POINTER;
    if (FOwner->FEventSink) return CONNECT_E_ADVISELIMIT;
    IUnknown* typed = nullptr;
    if (FAILED(Sink->QueryInterface(FOwner->FEventIID, reinterpret_cast<void**>(&typed))) &&
        FAILED(Sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&typed))))
      return CONNECT_E_CANNOTCONNECT;
    FOwner->FEventSink = typed;
    *Cookie = 1;
    try {
      FOwner->EventSinkChanged(typed);
    } catch (...) {
      FOwner->FEventSink = nullptr;
      typed->Release();
      *Cookie = 0;
      return CONNECT_E_CANNOTCONNECT;
    }
    return S_OK;
  }
  STDMETHODIMP Unadvise(DWORD Cookie) override {
    if (Cookie != 1 || !FOwner->FEventSink) return CONNECT_E_NOCONNECTION;
    IUnknown* s = FOwner->FEventSink;
    FOwner->FEventSink = nullptr;
    try {
      FOwner->EventSinkChanged(nullptr);
    } catch (...) {
      // The sink is let go all the same.
    }
    s->Release();
    return S_OK;
  }
  STDMETHODIMP EnumConnections(IEnumConnections** Enum) override {
    if (!Enum) return E_POINTER;
    std::vector<CONNECTDATA> connections;
    if (FOwner->FEventSink) connections.push_back(CONNECTDATA{FOwner->FEventSink, 1});
    *Enum = new (std::nothrow) TEnumConnections(std::move(connections));
    return *Enum ? S_OK : E_OUTOFMEMORY;
  }

private:
  TActiveXControl* FOwner;
};

// ---------------------------------------------------------------- TActiveXControl

TActiveXControl::TActiveXControl(const IID& DualIID, const IID& EventIID) : FDualIID(DualIID), FEventIID(EventIID) {
  ++ComServer().ObjectCount;
  FConnectionPoint = new TConnectionPoint(this);
}

TActiveXControl::~TActiveXControl() {
  if (FEventSink) FEventSink->Release();
  if (FViewSink) FViewSink->Release();
  if (FAdviseHolder) FAdviseHolder->Release();
  if (FInPlaceSite) FInPlaceSite->Release();
  if (FClientSite) FClientSite->Release();
  if (FDualTypeInfo) FDualTypeInfo->Release();
  ControlReleaseWindow();
  delete FControl;
  delete FConnectionPoint;
  --ComServer().ObjectCount;
}

void TActiveXControl::Initialize(TActiveXControlFactory* Factory, TComponent* Control) {
  FFactory = Factory;
  FControl = Control;
  DefinePropertyPages();
  InitializeControl();
}

HRESULT TActiveXControl::InnerQueryInterface(REFIID Iid, void** Obj) {
  if (!Obj) return E_POINTER;
  *Obj = nullptr;
  if (IsEqualIID(Iid, IID_IUnknown) || IsEqualIID(Iid, IID_IOleObject))
    *Obj = static_cast<IOleObject*>(this);
  else if (IsEqualIID(Iid, IID_IDispatch) || IsEqualIID(Iid, FDualIID))
    *Obj = DualInterface();
  else if (IsEqualIID(Iid, IID_IOleWindow) || IsEqualIID(Iid, IID_IOleInPlaceObject))
    *Obj = static_cast<IOleInPlaceObject*>(this);
  else if (IsEqualIID(Iid, IID_IOleInPlaceActiveObject))
    *Obj = static_cast<IOleInPlaceActiveObject*>(this);
  else if (IsEqualIID(Iid, IID_IOleControl))
    *Obj = static_cast<IOleControl*>(this);
  else if (IsEqualIID(Iid, IID_IViewObject) || IsEqualIID(Iid, IID_IViewObject2))
    *Obj = static_cast<IViewObject2*>(this);
  else if (IsEqualIID(Iid, IID_IPersistStreamInit))
    *Obj = static_cast<IPersistStreamInit*>(this);
  else if (IsEqualIID(Iid, IID_IPersistPropertyBag))
    *Obj = static_cast<IPersistPropertyBag*>(this);
  else if (IsEqualIID(Iid, IID_IPersist))
    *Obj = static_cast<IPersistPropertyBag*>(this);
  else if (IsEqualIID(Iid, IID_IConnectionPointContainer))
    *Obj = static_cast<IConnectionPointContainer*>(this);
  else if (IsEqualIID(Iid, IID_IProvideClassInfo) || IsEqualIID(Iid, IID_IProvideClassInfo2))
    *Obj = static_cast<IProvideClassInfo2*>(this);
  else if (IsEqualIID(Iid, IID_ISupportErrorInfo))
    *Obj = static_cast<ISupportErrorInfo*>(this);
  if (!*Obj) return E_NOINTERFACE;
  InnerAddRef();
  return S_OK;
}

ULONG TActiveXControl::InnerAddRef() { return ++FRefCount; }

ULONG TActiveXControl::InnerRelease() {
  ULONG n = --FRefCount;
  if (n == 0) delete this;
  return n;
}

HRESULT TActiveXControl::SafeCall(const std::function<void()>& Body) {
  try {
    Body();
    return S_OK;
  } catch (...) {
    return CurrentExceptionResult(FFactory);
  }
}

// IOleObject

STDMETHODIMP TActiveXControl::SetClientSite(IOleClientSite* Site) {
  if (FClientSite) FClientSite->Release();
  FClientSite = Site;
  if (FClientSite) FClientSite->AddRef();
  return S_OK;
}

STDMETHODIMP TActiveXControl::GetClientSite(IOleClientSite** Site) {
  if (!Site) return E_POINTER;
  *Site = FClientSite;
  if (FClientSite) FClientSite->AddRef();
  return S_OK;
}

STDMETHODIMP TActiveXControl::Close(DWORD) {
  HRESULT hr = FInPlaceActive ? InPlaceDeactivate() : S_OK;
  if (FAdviseHolder) FAdviseHolder->SendOnClose();
  return hr;
}

IOleAdviseHolder* TActiveXControl::AdviseHolder() {
  if (!FAdviseHolder && FAILED(CreateOleAdviseHolder(&FAdviseHolder))) FAdviseHolder = nullptr;
  return FAdviseHolder;
}

STDMETHODIMP TActiveXControl::Advise(IAdviseSink* Sink, DWORD* Cookie) {
  if (!Sink || !Cookie) return E_POINTER;
  *Cookie = 0;
  IOleAdviseHolder* holder = AdviseHolder();
  return holder ? holder->Advise(Sink, Cookie) : E_OUTOFMEMORY;
}

STDMETHODIMP TActiveXControl::Unadvise(DWORD Cookie) {
  return FAdviseHolder ? FAdviseHolder->Unadvise(Cookie) : OLE_E_NOCONNECTION;
}

STDMETHODIMP TActiveXControl::EnumAdvise(IEnumSTATDATA** Enum) {
  if (!Enum) return E_POINTER;
  *Enum = nullptr;
  IOleAdviseHolder* holder = AdviseHolder();
  return holder ? holder->EnumAdvise(Enum) : E_OUTOFMEMORY;
}

STDMETHODIMP TActiveXControl::DoVerb(LONG Verb, LPMSG, IOleClientSite* Site, LONG, HWND, LPCRECT) {
  if (Site && Site != FClientSite) SetClientSite(Site);
  switch (Verb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_UIACTIVATE:
      return InPlaceActivate(true);
    case OLEIVERB_INPLACEACTIVATE:
      return InPlaceActivate(false);
    case OLEIVERB_HIDE:
      return SafeCall([&] { ControlShow(false); });
    default:
      return Verb < 0 ? E_NOTIMPL : OLEOBJ_S_INVALIDVERB;
  }
}

HRESULT TActiveXControl::InPlaceActivate(bool UIActivate) {
  return SafeCall([&] {
    if (!FInPlaceActive) {
      if (!FClientSite) throw Exception("The control has no client site");
      if (FAILED(FClientSite->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&FInPlaceSite))))
        throw Exception("The container offers no in-place site");
      if (FInPlaceSite->CanInPlaceActivate() != S_OK) throw Exception("The container refuses in-place activation");
      FInPlaceSite->OnInPlaceActivate();
      FInPlaceActive = true;
      HWND parent = nullptr;
      FInPlaceSite->GetWindow(&parent);
      IOleInPlaceFrame* frame = nullptr;
      IOleInPlaceUIWindow* doc = nullptr;
      RECT pos{}, clip{};
      OLEINPLACEFRAMEINFO info{};
      info.cb = sizeof info;
      FInPlaceSite->GetWindowContext(&frame, &doc, &pos, &clip, &info);
      if (doc) doc->Release();
      if (frame) frame->Release();
      FWindow = ControlCreateWindow(parent, pos);
      ControlShow(true);
    }
    if (UIActivate && !FUIActive) {
      FUIActive = true;
      FInPlaceSite->OnUIActivate();
    }
  });
}

STDMETHODIMP TActiveXControl::EnumVerbs(IEnumOLEVERB** Enum) {
  if (!Enum) return E_POINTER;
  *Enum = nullptr;
  return OLEOBJ_E_NOVERBS;
}

STDMETHODIMP TActiveXControl::GetUserClassID(CLSID* Clsid) { return GetClassID(Clsid); }

STDMETHODIMP TActiveXControl::GetUserType(DWORD, LPOLESTR* Name) {
  if (!Name) return E_POINTER;
  *Name = nullptr;
  return SafeCall([&] {
    std::wstring w = Widen(FFactory ? FFactory->Description() : "");
    *Name = static_cast<LPOLESTR>(CoTaskMemAlloc((w.size() + 1) * sizeof(wchar_t)));
    if (!*Name) throw std::bad_alloc();
    wcscpy(*Name, w.c_str());
  });
}

STDMETHODIMP TActiveXControl::SetExtent(DWORD Aspect, SIZEL* Size) {
  if (Aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (!Size) return E_POINTER;
  FExtent = *Size;
  return S_OK;
}

STDMETHODIMP TActiveXControl::GetExtent(DWORD Aspect, SIZEL* Size) {
  if (Aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (!Size) return E_POINTER;
  *Size = FExtent;
  return S_OK;
}

STDMETHODIMP TActiveXControl::GetMiscStatus(DWORD, DWORD* Status) {
  if (!Status) return E_POINTER;
  *Status = FFactory ? static_cast<DWORD>(FFactory->MiscStatus()) : 0;
  return S_OK;
}

// In-place

STDMETHODIMP TActiveXControl::GetWindow(HWND* Wnd) {
  if (!Wnd) return E_POINTER;
  *Wnd = FWindow;
  return FWindow ? S_OK : E_FAIL;
}

STDMETHODIMP TActiveXControl::InPlaceDeactivate() {
  if (!FInPlaceActive) return S_OK;
  UIDeactivate();
  FInPlaceActive = false;
  // The container is told even when the control's window fails to go.
  HRESULT hr = SafeCall([&] {
    ControlShow(false);
    ControlReleaseWindow();
  });
  FWindow = nullptr;
  if (FInPlaceSite) {
    FInPlaceSite->OnInPlaceDeactivate();
    FInPlaceSite->Release();
    FInPlaceSite = nullptr;
  }
  return hr;
}

STDMETHODIMP TActiveXControl::UIDeactivate() {
  if (FUIActive) {
    FUIActive = false;
    if (FInPlaceSite) FInPlaceSite->OnUIDeactivate(FALSE);
  }
  return S_OK;
}

STDMETHODIMP TActiveXControl::SetObjectRects(LPCRECT Pos, LPCRECT) {
  if (!Pos) return E_POINTER;
  return SafeCall([&] { ControlSetBounds(*Pos); });
}

STDMETHODIMP TActiveXControl::GetControlInfo(CONTROLINFO* Info) {
  if (!Info) return E_POINTER;
  Info->cb = sizeof(CONTROLINFO);
  Info->hAccel = nullptr;
  Info->cAccel = 0;
  Info->dwFlags = 0;
  return S_OK;
}

// Drawing

STDMETHODIMP TActiveXControl::Draw(DWORD Aspect, LONG Index, void*, DVTARGETDEVICE*, HDC, HDC DC, LPCRECTL Bounds,
                                   LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) {
  if (Aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (Index != -1) return DV_E_LINDEX;
  if (!DC || !Bounds) return E_INVALIDARG;
  RECT r{Bounds->left, Bounds->top, Bounds->right, Bounds->bottom};
  int saved = SaveDC(DC);
  HRESULT hr = SafeCall([&] { ControlPaint(DC, r); });
  RestoreDC(DC, saved);
  return hr;
}

STDMETHODIMP TActiveXControl::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** ColorSet) {
  if (!ColorSet) return E_POINTER;
  *ColorSet = nullptr;
  return S_FALSE;  // no palette of its own
}

STDMETHODIMP TActiveXControl::SetAdvise(DWORD Aspects, DWORD Flags, IAdviseSink* Sink) {
  if (Sink) Sink->AddRef();
  if (FViewSink) FViewSink->Release();
  FViewSink = Sink;
  FViewAspects = Aspects;
  FViewFlags = Flags;
  if (Sink && (Flags & ADVF_PRIMEFIRST)) ViewChanged();
  return S_OK;
}

STDMETHODIMP TActiveXControl::GetAdvise(DWORD* Aspects, DWORD* Flags, IAdviseSink** Sink) {
  if (Aspects) *Aspects = FViewAspects;
  if (Flags) *Flags = FViewFlags;
  if (Sink) {
    *Sink = FViewSink;
    if (FViewSink) FViewSink->AddRef();
  }
  return S_OK;
}

STDMETHODIMP TActiveXControl::GetExtent(DWORD Aspect, LONG Index, DVTARGETDEVICE*, SIZEL* Size) {
  if (Index != -1) return DV_E_LINDEX;
  return GetExtent(Aspect, Size);
}

void TActiveXControl::ViewChanged() {
  if (!FViewSink || !(FViewAspects & DVASPECT_CONTENT)) return;
  IAdviseSink* sink = FViewSink;
  // A sink that asked for one notice is let go after it; another is held
  // through the call, which may set a new sink.
  if (FViewFlags & ADVF_ONLYONCE)
    FViewSink = nullptr;
  else
    sink->AddRef();
  sink->OnViewChange(DVASPECT_CONTENT, -1);
  sink->Release();
}

// Persistence

STDMETHODIMP TActiveXControl::GetClassID(CLSID* Clsid) {
  if (!Clsid) return E_POINTER;
  *Clsid = FFactory ? FFactory->ClassID() : CLSID_NULL;
  return S_OK;
}

STDMETHODIMP TActiveXControl::GetSizeMax(ULARGE_INTEGER* Size) {
  if (!Size) return E_POINTER;
  Size->QuadPart = 0;
  return S_OK;
}

STDMETHODIMP TActiveXControl::Load(IPropertyBag* Bag, IErrorLog* Log) {
  if (!Bag) return E_POINTER;
  HRESULT hr = S_OK;
  HRESULT guard = SafeCall([&] { hr = PersistPropertyBagLoad(Bag, Log); });
  return FAILED(guard) ? guard : hr;
}

STDMETHODIMP TActiveXControl::Save(IPropertyBag* Bag, BOOL ClearDirty, BOOL SaveAll) {
  if (!Bag) return E_POINTER;
  HRESULT hr = S_OK;
  HRESULT guard = SafeCall([&] { hr = PersistPropertyBagSave(Bag, ClearDirty, SaveAll); });
  return FAILED(guard) ? guard : hr;
}

HRESULT TActiveXControl::PersistPropertyBagLoad(IPropertyBag*, IErrorLog*) { return S_OK; }
HRESULT TActiveXControl::PersistPropertyBagSave(IPropertyBag*, BOOL, BOOL) { return S_OK; }

// Events and class information

STDMETHODIMP TActiveXControl::EnumConnectionPoints(IEnumConnectionPoints** Enum) {
  if (!Enum) return E_POINTER;
  *Enum = new (std::nothrow) TEnumConnectionPoints({FConnectionPoint});
  return *Enum ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP TActiveXControl::FindConnectionPoint(REFIID Iid, IConnectionPoint** Point) {
  if (!Point) return E_POINTER;
  *Point = nullptr;
  if (!IsEqualIID(Iid, FEventIID)) return CONNECT_E_NOCONNECTION;
  *Point = FConnectionPoint;
  FConnectionPoint->AddRef();
  return S_OK;
}

STDMETHODIMP TActiveXControl::GetClassInfo(ITypeInfo** Info) {
  if (!Info) return E_POINTER;
  *Info = nullptr;
  ITypeLib* lib = ComServer().TypeLib();
  if (!lib || !FFactory) return E_UNEXPECTED;
  return lib->GetTypeInfoOfGuid(FFactory->ClassID(), Info);
}

STDMETHODIMP TActiveXControl::GetGUID(DWORD Kind, GUID* Guid) {
  if (!Guid) return E_POINTER;
  if (Kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) return E_INVALIDARG;
  *Guid = FEventIID;
  return S_OK;
}

STDMETHODIMP TActiveXControl::InterfaceSupportsErrorInfo(REFIID Iid) {
  return IsEqualIID(Iid, FDualIID) ? S_OK : S_FALSE;
}

// The wrapped control's window: none in this base.

HWND TActiveXControl::ControlCreateWindow(HWND, const RECT&) { return nullptr; }
void TActiveXControl::ControlSetBounds(const RECT&) {}
void TActiveXControl::ControlShow(bool) {}
void TActiveXControl::ControlReleaseWindow() {}
void TActiveXControl::ControlPaint(HDC, const RECT&) {}

// IDispatch

ITypeInfo* TActiveXControl::DualTypeInfo() {
  if (FDualTypeInfo) return FDualTypeInfo;
  ITypeLib* lib = ComServer().TypeLib();
  if (!lib) return nullptr;
  ITypeInfo* info = nullptr;
  if (FAILED(lib->GetTypeInfoOfGuid(FDualIID, &info))) return nullptr;
  // A dual interface is found as its dispatch half; calls go through the
  // interface half, which describes the function table.
  TYPEATTR* attr = nullptr;
  if (SUCCEEDED(info->GetTypeAttr(&attr))) {
    bool dispatch = attr->typekind == TKIND_DISPATCH;
    info->ReleaseTypeAttr(attr);
    HREFTYPE ref;
    ITypeInfo* vt = nullptr;
    if (dispatch && SUCCEEDED(info->GetRefTypeOfImplType(-1, &ref)) && SUCCEEDED(info->GetRefTypeInfo(ref, &vt))) {
      info->Release();
      info = vt;
    }
  }
  FDualTypeInfo = info;
  return FDualTypeInfo;
}

HRESULT TActiveXControl::DispGetTypeInfoCount(UINT* Count) {
  if (!Count) return E_POINTER;
  *Count = 1;
  return S_OK;
}

HRESULT TActiveXControl::DispGetTypeInfo(UINT Index, LCID, ITypeInfo** Info) {
  if (!Info) return E_POINTER;
  *Info = nullptr;
  if (Index != 0) return DISP_E_BADINDEX;
  ITypeLib* lib = ComServer().TypeLib();
  if (!lib) return E_UNEXPECTED;
  return lib->GetTypeInfoOfGuid(FDualIID, Info);
}

HRESULT TActiveXControl::DispGetIDsOfNames(REFIID, LPOLESTR* Names, UINT Count, LCID, DISPID* Ids) {
  ITypeInfo* info = DualTypeInfo();
  if (!info) return E_UNEXPECTED;
  return ::DispGetIDsOfNames(info, Names, Count, Ids);
}

HRESULT TActiveXControl::DispInvoke(DISPID Id, REFIID, LCID, WORD Flags, DISPPARAMS* Params, VARIANT* Result,
                                    EXCEPINFO* ExcepInfo, UINT* ArgErr) {
  ITypeInfo* info = DualTypeInfo();
  if (!info) return E_UNEXPECTED;
  return ::DispInvoke(DualInterface(), info, Id, Flags, Params, Result, ExcepInfo, ArgErr);
}

int32_t OleCheck(int32_t Result) {
  if (Result < 0) {
    std::string text = Trim(SysErrorMessage(static_cast<unsigned long>(Result)));
    if (text.empty()) text = "OLE error " + IntToHex(static_cast<uint32_t>(Result), 8);
    throw EOleSysError(text, Result);
  }
  return Result;
}
