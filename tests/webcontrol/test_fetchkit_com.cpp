// The control as a container sees it: the type library against the C++
// function table, the dispatch identifiers, the page's parameters, and the
// control framework's entry points under failing hooks.
#include <gtest/gtest.h>
#include <windows.h>
#include <olectl.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <type_traits>
#include <map>
#include <string>

#include "classlib/ComObj.h"
#include "classlib/SysUtils.h"
#include "classlib/WinText.h"
#include "webcontrol/FetchkitHost.h"
#include "webcontrol/Fetchkit_TLB.h"

using namespace fetchkit;

namespace {

// The table slot of a virtual member function (the Itanium C++ ABI that
// MinGW's g++ follows: a pointer to a virtual member holds 1 + the byte
// offset of its slot).
template <class M>
long SlotOf(M Member) {
  static_assert(sizeof(M) >= sizeof(uintptr_t));
  uintptr_t raw;
  std::memcpy(&raw, &Member, sizeof raw);
  return static_cast<long>((raw - 1) / sizeof(void*));
}

std::vector<long> CppSlots() {
  return {SlotOf(&IFetchkitX::Get_Directory), SlotOf(&IFetchkitX::Set_Directory),
          SlotOf(&IFetchkitX::Get_DownloadingMsg_Engli), SlotOf(&IFetchkitX::Set_DownloadingMsg_Engli),
          SlotOf(&IFetchkitX::Get_LoadingEXE), SlotOf(&IFetchkitX::Set_LoadingEXE),
          SlotOf(&IFetchkitX::Get_LogonMsg_Engli), SlotOf(&IFetchkitX::Set_LogonMsg_Engli),
          SlotOf(&IFetchkitX::Get_HostName), SlotOf(&IFetchkitX::Set_HostName),
          SlotOf(&IFetchkitX::Get_Password), SlotOf(&IFetchkitX::Set_Password),
          SlotOf(&IFetchkitX::Get_SetupSize), SlotOf(&IFetchkitX::Set_SetupSize),
          SlotOf(&IFetchkitX::Get_Alignment), SlotOf(&IFetchkitX::Set_Alignment),
          SlotOf(&IFetchkitX::Get_BevelInner), SlotOf(&IFetchkitX::Set_BevelInner),
          SlotOf(&IFetchkitX::Get_BevelOuter), SlotOf(&IFetchkitX::Set_BevelOuter),
          SlotOf(&IFetchkitX::Get_BevelWidth), SlotOf(&IFetchkitX::Set_BevelWidth),
          SlotOf(&IFetchkitX::Get_BorderWidth), SlotOf(&IFetchkitX::Set_BorderWidth),
          SlotOf(&IFetchkitX::Get_BorderStyle), SlotOf(&IFetchkitX::Set_BorderStyle),
          SlotOf(&IFetchkitX::Get_DragCursor), SlotOf(&IFetchkitX::Set_DragCursor),
          SlotOf(&IFetchkitX::Get_DragMode), SlotOf(&IFetchkitX::Set_DragMode),
          SlotOf(&IFetchkitX::Get_Enabled), SlotOf(&IFetchkitX::Set_Enabled),
          SlotOf(&IFetchkitX::Get_FullRepaint), SlotOf(&IFetchkitX::Set_FullRepaint),
          SlotOf(&IFetchkitX::Get_Caption), SlotOf(&IFetchkitX::Set_Caption),
          SlotOf(&IFetchkitX::Get_Color), SlotOf(&IFetchkitX::Set_Color),
          SlotOf(&IFetchkitX::Get_Ctl3D), SlotOf(&IFetchkitX::Set_Ctl3D),
          SlotOf(&IFetchkitX::Get_Font), SlotOf(&IFetchkitX::Set_Font),
          SlotOf(&IFetchkitX::Get_Locked), SlotOf(&IFetchkitX::Set_Locked),
          SlotOf(&IFetchkitX::Get_ParentColor), SlotOf(&IFetchkitX::Set_ParentColor),
          SlotOf(&IFetchkitX::Get_ParentCtl3D), SlotOf(&IFetchkitX::Set_ParentCtl3D),
          SlotOf(&IFetchkitX::Get_Visible), SlotOf(&IFetchkitX::Set_Visible),
          SlotOf(&IFetchkitX::Get_Cursor), SlotOf(&IFetchkitX::Set_Cursor),
          SlotOf(&IFetchkitX::Get_UserName), SlotOf(&IFetchkitX::Set_UserName),
          SlotOf(&IFetchkitX::Get_SetupCreationDate), SlotOf(&IFetchkitX::Set_SetupCreationDate),
          SlotOf(&IFetchkitX::StartInstall)};
}

// An event sink of a container: counts the references it is given.
class TEventSink : public IDispatch {
public:
  long Refs = 0;
  STDMETHODIMP QueryInterface(REFIID Iid, void** Obj) override {
    if (!IsEqualIID(Iid, IID_IUnknown) && !IsEqualIID(Iid, IID_IDispatch) && !IsEqualIID(Iid, DIID_IFetchkitXEvents)) {
      *Obj = nullptr;
      return E_NOINTERFACE;
    }
    *Obj = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++Refs); }
  STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(--Refs); }
  STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return S_OK;
  }
};

// A container's advise sink: counts what it hears and the references it is
// given.
class TAdviseSink : public IAdviseSink {
public:
  long Refs = 0;
  int ViewChanges = 0;
  int Closes = 0;
  STDMETHODIMP QueryInterface(REFIID Iid, void** Obj) override {
    if (!IsEqualIID(Iid, IID_IUnknown) && !IsEqualIID(Iid, IID_IAdviseSink)) {
      *Obj = nullptr;
      return E_NOINTERFACE;
    }
    *Obj = static_cast<IAdviseSink*>(this);
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++Refs); }
  STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(--Refs); }
  STDMETHODIMP_(void) OnDataChange(FORMATETC*, STGMEDIUM*) override {}
  STDMETHODIMP_(void) OnViewChange(DWORD, LONG) override { ++ViewChanges; }
  STDMETHODIMP_(void) OnRename(IMoniker*) override {}
  STDMETHODIMP_(void) OnSave() override {}
  STDMETHODIMP_(void) OnClose() override { ++Closes; }
};

template <class I>
I* Query(IUnknown* Object, REFIID Iid) {
  I* r = nullptr;
  return SUCCEEDED(Object->QueryInterface(Iid, reinterpret_cast<void**>(&r))) ? r : nullptr;
}

// Every item left in an enumerator of interfaces or connections, one Next
// at a time (each item released).
template <class IEnum, class Item>
std::vector<Item> Remaining(IEnum* Enum) {
  std::vector<Item> r;
  Item item{};
  ULONG n = 0;
  while (Enum->Next(1, &item, &n) == S_OK) {
    r.push_back(item);
    if constexpr (std::is_pointer_v<Item>) item->Release();
    else if constexpr (std::is_same_v<Item, CONNECTDATA>) item.pUnk->Release();
    else item.pAdvSink->Release();
  }
  return r;
}

// A control of the framework whose hooks throw, when told to, something that
// is no std::exception; it records what its event hook was given.
class TFailingControl : public TActiveXControl, public IDispatch {
public:
  TFailingControl() : TActiveXControl(IID_IDispatch, DIID_IFetchkitXEvents) {}
  QNT_ACTIVEX_IUNKNOWN
  QNT_ACTIVEX_IDISPATCH
  bool Fail = false;
  std::vector<IUnknown*> Sinks;

protected:
  IDispatch* DualInterface() override { return this; }
  void EventSinkChanged(IUnknown* Sink) override { Sinks.push_back(Sink); }
  HRESULT PersistPropertyBagLoad(IPropertyBag*, IErrorLog*) override { return Raise(); }
  HRESULT PersistPropertyBagSave(IPropertyBag*, BOOL, BOOL) override { return Raise(); }
  void ControlShow(bool) override { Raise(); }
  void ControlReleaseWindow() override { Raise(); }

private:
  HRESULT Raise() {
    if (Fail) throw 42;
    return S_OK;
  }
};

}  // namespace

TEST(FetchkitCom, TypeLibraryOffsetsMatchTheCppTableAndTheDispatchIds) {
  ITypeLib* lib = nullptr;
  ASSERT_EQ(LoadTypeLibEx(Widen(OcxPath()).c_str(), REGKIND_NONE, &lib), S_OK);
  ITypeInfo* disp = nullptr;
  ASSERT_EQ(lib->GetTypeInfoOfGuid(IID_IFetchkitX, &disp), S_OK);
  HREFTYPE ref;
  ITypeInfo* vt = nullptr;
  ASSERT_EQ(disp->GetRefTypeOfImplType(-1, &ref), S_OK);
  ASSERT_EQ(disp->GetRefTypeInfo(ref, &vt), S_OK);
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(vt->GetTypeAttr(&attr), S_OK);
  ASSERT_EQ(attr->typekind, TKIND_INTERFACE);
  const std::vector<long> cpp = CppSlots();
  ASSERT_EQ(static_cast<size_t>(attr->cFuncs), cpp.size());
  ASSERT_EQ(cpp.size(), std::size(IFetchkitXFunctionNames));

  const std::map<std::wstring, DISPID> dispids = {
      {L"Directory", 2}, {L"DownloadingMsg_Engli", 3}, {L"LoadingEXE", 4}, {L"LogonMsg_Engli", 5},
      {L"HostName", 6}, {L"Password", 7}, {L"SetupCreationDate", 8}, {L"StartInstall", 9},
      {L"SetupSize", 10}, {L"Alignment", 11}, {L"BevelInner", 12}, {L"BevelOuter", 13},
      {L"BevelWidth", 14}, {L"BorderWidth", 15}, {L"BorderStyle", 16}, {L"DragCursor", 17},
      {L"DragMode", 18}, {L"Enabled", 19}, {L"FullRepaint", 20}, {L"Caption", 21}, {L"Color", 22},
      {L"Ctl3D", 23}, {L"Font", 24}, {L"Locked", 25}, {L"ParentColor", 26}, {L"ParentCtl3D", 27},
      {L"Visible", 28}, {L"Cursor", 29}, {L"UserName", 30}};
  for (UINT i = 0; i < attr->cFuncs; ++i) {
    FUNCDESC* fd = nullptr;
    ASSERT_EQ(vt->GetFuncDesc(i, &fd), S_OK);
    BSTR name = nullptr;
    vt->GetDocumentation(fd->memid, &name, nullptr, nullptr, nullptr);
    std::wstring n(name ? name : L"");
    SysFreeString(name);
    EXPECT_EQ(n, IFetchkitXFunctionNames[i]) << "function " << i;
    // Seven slots of IUnknown and IDispatch come first.
    EXPECT_EQ(fd->oVft / static_cast<long>(sizeof(void*)), 7 + static_cast<long>(i)) << Narrow(n);
    EXPECT_EQ(fd->oVft / static_cast<long>(sizeof(void*)), cpp[i]) << Narrow(n);
    EXPECT_EQ(fd->memid, dispids.at(n)) << Narrow(n);
    if (n != L"StartInstall") {
      EXPECT_EQ(fd->invkind, i % 2 == 0 ? INVOKE_PROPERTYGET : INVOKE_PROPERTYPUT) << Narrow(n);
    }
    vt->ReleaseFuncDesc(fd);
  }
  vt->ReleaseTypeAttr(attr);
  vt->Release();
  disp->Release();

  // Events: dispatch only, three methods.
  ITypeInfo* ev = nullptr;
  ASSERT_EQ(lib->GetTypeInfoOfGuid(DIID_IFetchkitXEvents, &ev), S_OK);
  ASSERT_EQ(ev->GetTypeAttr(&attr), S_OK);
  EXPECT_EQ(attr->typekind, TKIND_DISPATCH);
  EXPECT_EQ(attr->cFuncs, 3);
  ev->ReleaseTypeAttr(attr);
  ev->Release();
  lib->Release();

  // The running control answers names with the same identifiers.
  IDispatch* d = CreateControl();
  LPOLESTR names[] = {const_cast<LPOLESTR>(L"StartInstall"), const_cast<LPOLESTR>(L"setupsize")};
  DISPID ids[1];
  ASSERT_EQ(d->GetIDsOfNames(IID_NULL, &names[0], 1, 0, ids), S_OK);
  EXPECT_EQ(ids[0], 9);
  ASSERT_EQ(d->GetIDsOfNames(IID_NULL, &names[1], 1, 0, ids), S_OK);
  EXPECT_EQ(ids[0], 10);

  // What a container asks to connect the events: the class's description,
  // its default source, and the one connection point of that interface.
  IProvideClassInfo2* classInfo = nullptr;
  ASSERT_EQ(d->QueryInterface(IID_IProvideClassInfo2, reinterpret_cast<void**>(&classInfo)), S_OK);
  ITypeInfo* coclass = nullptr;
  ASSERT_EQ(classInfo->GetClassInfo(&coclass), S_OK);
  ASSERT_EQ(coclass->GetTypeAttr(&attr), S_OK);
  EXPECT_EQ(attr->typekind, TKIND_COCLASS);
  EXPECT_TRUE(IsEqualGUID(attr->guid, CLASS_FetchkitX));
  coclass->ReleaseTypeAttr(attr);
  coclass->Release();
  GUID source{};
  EXPECT_EQ(classInfo->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source), S_OK);
  EXPECT_TRUE(IsEqualGUID(source, DIID_IFetchkitXEvents));
  classInfo->Release();
  IConnectionPointContainer* cpc = nullptr;
  IConnectionPoint* cp = nullptr;
  ASSERT_EQ(d->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&cpc)), S_OK);
  ASSERT_EQ(cpc->FindConnectionPoint(source, &cp), S_OK);
  TEventSink sink;
  DWORD cookie = 0;
  EXPECT_EQ(cp->Advise(&sink, &cookie), S_OK);
  EXPECT_EQ(sink.Refs, 1);
  EXPECT_EQ(cp->Unadvise(cookie), S_OK);
  EXPECT_EQ(sink.Refs, 0);
  cp->Release();
  cpc->Release();
  d->Release();
}

TEST(FetchkitCom, ThePageParametersSetTheProperties) {
  IDispatch* d = CreateControl();
  TPageBag bag;
  for (auto& [name, value] : ExamplePageParams()) bag.Set(name, value);
  // The design tools put real values where the shipped page has placeholders.
  bag.Set("Directory", "pub/setup");
  bag.Set("LoadingEXE", "setup.exe");
  bag.Set("HostName", "ftp.example.com");
  bag.Set("SetupCreationDate", "36526.75");
  bag.Set("SetupSize", "1234567");
  ASSERT_EQ(LoadBag(d, bag), S_OK);

  EXPECT_EQ(GetText(d, DISPID_Directory), "pub/setup");
  EXPECT_EQ(GetText(d, DISPID_LoadingEXE), "setup.exe");
  EXPECT_EQ(GetText(d, DISPID_LogonMsg_Engli), "Logging on to remote server");
  EXPECT_EQ(GetText(d, DISPID_Caption), "Install");
  VARIANT v;
  ASSERT_EQ(GetProp(d, DISPID_SetupSize, v), S_OK);
  EXPECT_EQ(V_VT(&v), VT_I4);
  EXPECT_EQ(V_I4(&v), 1234567);
  ASSERT_EQ(GetProp(d, DISPID_SetupCreationDate, v), S_OK);
  VARIANT r8;
  VariantInit(&r8);
  ASSERT_EQ(VariantChangeType(&r8, &v, 0, VT_R8), S_OK);
  EXPECT_DOUBLE_EQ(V_R8(&r8), 36526.75);

  // Each property is asked for under its own spelling.
  auto asked = [&](const wchar_t* n) { return std::find(bag.Asked.begin(), bag.Asked.end(), n) != bag.Asked.end(); };
  for (const wchar_t* n : {L"DownloadingMsg_Engli", L"Caption", L"LogonMsgLang", L"UserName", L"SetupCreationDate",
                           L"SetupSize", L"DownloadingMsg_Vietn"})
    EXPECT_TRUE(asked(n)) << Narrow(n);
  d->Release();
}

TEST(FetchkitCom, AFewOrBadParametersLeaveTheRestAsCreated) {
  IDispatch* d = CreateControl();
  TPageBag bag;
  bag.Set("LoadingEXE", "setup.exe");
  bag.Set("Directory", "pub");
  bag.Set("HostName", "ftp.example.com");
  bag.Set("SetupSize", "12x");              // no number: skipped
  bag.Set("SetupCreationDate", "36526,5");  // a comma: skipped
  bag.Set("Name", "Renamed");               // the component's own: never asked for
  ASSERT_EQ(LoadBag(d, bag), S_OK);
  EXPECT_EQ(std::count(bag.Asked.begin(), bag.Asked.end(), L"Name"), 0);
  EXPECT_EQ(GetText(d, DISPID_HostName), "ftp.example.com");
  EXPECT_EQ(GetText(d, DISPID_UserName), "");
  EXPECT_EQ(GetText(d, DISPID_Password), "");
  EXPECT_EQ(GetText(d, DISPID_Caption), "Install");
  VARIANT v;
  ASSERT_EQ(GetProp(d, DISPID_SetupSize, v), S_OK);
  EXPECT_EQ(V_I4(&v), 0);
  ASSERT_EQ(GetProp(d, DISPID_SetupCreationDate, v), S_OK);
  VARIANT r8;
  VariantInit(&r8);
  ASSERT_EQ(VariantChangeType(&r8, &v, 0, VT_R8), S_OK);
  EXPECT_EQ(V_R8(&r8), 0.0);

  // Written through the interface and read back.
  VARIANT in;
  V_VT(&in) = VT_BSTR;
  V_BSTR(&in) = SysAllocString(L"anonymous");
  EXPECT_EQ(PutProp(d, DISPID_UserName, in), S_OK);
  VariantClear(&in);
  EXPECT_EQ(GetText(d, DISPID_UserName), "anonymous");
  d->Release();
}

TEST(FetchkitCom, EveryPanelSettingReadsItsValueFromCreationAndTakesANewOne) {
  IDispatch* d = CreateControl();
  struct Case {
    DISPID id;
    VARTYPE type;  // how a script passes the new value
    double created, written;
  } cases[] = {
      {DISPID_Alignment, VT_I4, 2, 0},        {DISPID_BevelInner, VT_I4, 0, 1},
      {DISPID_BevelOuter, VT_I4, 2, 1},       {DISPID_BevelWidth, VT_I4, 1, 3},
      {DISPID_BorderWidth, VT_I4, 5, 2},      {DISPID_BorderStyle, VT_I4, 0, 1},
      {DISPID_DragCursor, VT_I2, -12, -2},    {DISPID_DragMode, VT_I4, 0, 1},
      {DISPID_Enabled, VT_BOOL, -1, 0},       {DISPID_FullRepaint, VT_BOOL, -1, 0},
      {DISPID_Color, VT_UI4, 0x8000000F, 0xFF}, {DISPID_Ctl3D, VT_BOOL, -1, 0},
      {DISPID_Locked, VT_BOOL, 0, -1},        {DISPID_ParentColor, VT_BOOL, 0, -1},
      {DISPID_ParentCtl3D, VT_BOOL, -1, 0},   {DISPID_Visible, VT_BOOL, -1, 0},
      {DISPID_Cursor, VT_I2, 0, -11},
  };
  auto read = [&](DISPID Id) {
    VARIANT v, r;
    VariantInit(&r);
    if (FAILED(GetProp(d, Id, v)) || FAILED(VariantChangeType(&r, &v, 0, VT_R8))) return -99999.0;
    VariantClear(&v);
    return V_R8(&r);
  };
  for (const Case& c : cases) {
    EXPECT_EQ(read(c.id), c.created) << "DISPID " << c.id;
    VARIANT in, r8;
    V_VT(&r8) = VT_R8;
    V_R8(&r8) = c.written;
    VariantInit(&in);
    ASSERT_EQ(VariantChangeType(&in, &r8, 0, c.type), S_OK);
    EXPECT_EQ(PutProp(d, c.id, in), S_OK) << "DISPID " << c.id;
    EXPECT_EQ(read(c.id), c.written) << "DISPID " << c.id;
  }
  // An ordinal outside the enumeration is refused with the reason, and the
  // value stays.
  VARIANT bad;
  V_VT(&bad) = VT_I4;
  V_I4(&bad) = 7;
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS p = {&bad, &named, 1, 1};
  EXCEPINFO info = {};
  EXPECT_EQ(d->Invoke(DISPID_Alignment, IID_NULL, 0, DISPATCH_PROPERTYPUT, &p, nullptr, &info, nullptr),
            DISP_E_EXCEPTION);
  EXPECT_NE(info.bstrDescription, nullptr);
  SysFreeString(info.bstrDescription);
  SysFreeString(info.bstrSource);
  SysFreeString(info.bstrHelpFile);
  EXPECT_EQ(read(DISPID_Alignment), 0);

  // The font: the panel's own 8 points, and a new one taken over. The
  // system's font object reports the face and size it really got, so those
  // are what the panel must give back.
  struct TFontSeen {
    std::wstring name;
    BOOL bold = FALSE;
    LONGLONG size = 0;
  };
  auto fontOf = [&](TFontSeen& seen) {
    VARIANT f;
    ASSERT_EQ(GetProp(d, DISPID_Font, f), S_OK);
    ASSERT_EQ(V_VT(&f), VT_DISPATCH);
    IFont* font = nullptr;
    ASSERT_EQ(V_DISPATCH(&f)->QueryInterface(IID_IFont, reinterpret_cast<void**>(&font)), S_OK);
    BSTR name = nullptr;
    CY size{};
    font->get_Name(&name);
    font->get_Bold(&seen.bold);
    font->get_Size(&size);
    seen.name = name ? name : L"";
    seen.size = size.int64;
    SysFreeString(name);
    font->Release();
    VariantClear(&f);
  };
  TFontSeen created;
  fontOf(created);
  EXPECT_NEAR(static_cast<double>(created.size), 80000, 5000);  // 8 points
  EXPECT_FALSE(created.bold);
  FONTDESC fd = {sizeof(FONTDESC), const_cast<LPOLESTR>(L"Courier New"), {}, FW_BOLD, ANSI_CHARSET, FALSE, FALSE, FALSE};
  fd.cySize.int64 = 120000;
  VARIANT nf;
  V_VT(&nf) = VT_DISPATCH;
  ASSERT_EQ(OleCreateFontIndirect(&fd, IID_IFontDisp, reinterpret_cast<void**>(&V_DISPATCH(&nf))), S_OK);
  IFont* given = nullptr;
  ASSERT_EQ(V_DISPATCH(&nf)->QueryInterface(IID_IFont, reinterpret_cast<void**>(&given)), S_OK);
  BSTR givenName = nullptr;
  CY givenSize{};
  given->get_Name(&givenName);
  given->get_Size(&givenSize);
  given->Release();
  EXPECT_EQ(PutProp(d, DISPID_Font, nf), S_OK);
  VariantClear(&nf);
  TFontSeen taken;
  fontOf(taken);
  EXPECT_EQ(taken.name, std::wstring(givenName ? givenName : L""));
  EXPECT_TRUE(taken.bold);
  EXPECT_NEAR(static_cast<double>(taken.size), static_cast<double>(givenSize.int64), 10000);  // whole points
  SysFreeString(givenName);

  // A script's "ctl.Font.Bold = False" changes the panel's font, which the
  // next request shows.
  VARIANT f, change;
  ASSERT_EQ(GetProp(d, DISPID_Font, f), S_OK);
  V_VT(&change) = VT_BOOL;
  V_BOOL(&change) = VARIANT_FALSE;
  EXPECT_EQ(PutProp(V_DISPATCH(&f), DISPID_FONT_BOLD, change), S_OK);
  V_VT(&change) = VT_I4;
  V_I4(&change) = 14;
  EXPECT_EQ(PutProp(V_DISPATCH(&f), DISPID_FONT_SIZE, change), S_OK);
  VariantClear(&f);
  TFontSeen changed;
  fontOf(changed);
  EXPECT_FALSE(changed.bold);
  EXPECT_NEAR(static_cast<double>(changed.size), 140000, 10000);
  d->Release();
}

TEST(FetchkitCom, ThePanelSitsInThePageWindowAndFollowsItsSettings) {
  IDispatch* d = CreateControl();
  TPageBag bag;
  for (auto& [name, value] : ExamplePageParams()) bag.Set(name, value);
  ASSERT_EQ(LoadBag(d, bag), S_OK);
  TPageSite site;
  HWND w = ActivateInPlace(d, site);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(GetParent(w), site.Window);
  EXPECT_EQ(site.Activations, 1);
  auto placed = [&] {
    RECT r;
    GetWindowRect(w, &r);
    MapWindowPoints(HWND_DESKTOP, site.Window, reinterpret_cast<POINT*>(&r), 2);
    return r;
  };
  RECT r = placed();
  EXPECT_EQ(r.left, 20);
  EXPECT_EQ(r.top, 40);
  EXPECT_EQ(r.right - r.left, 75);
  EXPECT_EQ(r.bottom - r.top, 25);
  EXPECT_TRUE(IsWindowVisible(w));
  EXPECT_EQ(GetText(d, DISPID_Caption), "Install");
  Picture("fetchkit-inplace", site.Window);

  IOleInPlaceObject* ip = nullptr;
  ASSERT_EQ(d->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&ip)), S_OK);
  RECT moved{30, 10, 130, 40};
  EXPECT_EQ(ip->SetObjectRects(&moved, &moved), S_OK);
  r = placed();
  EXPECT_EQ(r.left, 30);
  EXPECT_EQ(r.right - r.left, 100);

  // The pointer the panel shows when the mouse moves over it.
  auto pointer = [](HWND h) {
    SendMessageW(h, WM_SETCURSOR, reinterpret_cast<WPARAM>(h), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    return GetCursor();
  };
  // The top left pixel of the panel: its single border, flat or sunken.
  auto corner = [](HWND h) {
    RedrawWindow(h, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    HDC dc = GetDC(h);
    COLORREF c = GetPixel(dc, 0, 0);
    ReleaseDC(h, dc);
    return c;
  };
  struct Setting {
    DISPID id;
    VARTYPE type;
    short value;
    std::function<bool(HWND)> holds;
  } settings[] = {
      {DISPID_Visible, VT_BOOL, 0, [](HWND h) { return !IsWindowVisible(h); }},
      {DISPID_Visible, VT_BOOL, -1, [](HWND h) { return IsWindowVisible(h) != FALSE; }},
      {DISPID_Enabled, VT_BOOL, 0, [](HWND h) { return !IsWindowEnabled(h); }},
      {DISPID_Enabled, VT_BOOL, -1, [](HWND h) { return IsWindowEnabled(h) != FALSE; }},
      {DISPID_Cursor, VT_I2, -11, [&](HWND h) { return pointer(h) == LoadCursorW(nullptr, IDC_WAIT); }},
      {DISPID_Cursor, VT_I2, -21, [&](HWND h) { return pointer(h) == LoadCursorW(nullptr, IDC_HAND); }},
      {DISPID_Cursor, VT_I2, 0, [&](HWND h) { return pointer(h) == LoadCursorW(nullptr, IDC_ARROW); }},
      {DISPID_BorderStyle, VT_I4, 1, nullptr},
      {DISPID_Ctl3D, VT_BOOL, 0, [&](HWND h) { return corner(h) == GetSysColor(COLOR_WINDOWFRAME); }},
      {DISPID_Ctl3D, VT_BOOL, -1, [&](HWND h) { return corner(h) == GetSysColor(COLOR_BTNSHADOW); }},
  };
  for (const Setting& s : settings) {
    VARIANT v, i4;
    V_VT(&i4) = VT_I4;
    V_I4(&i4) = s.value;
    VariantInit(&v);
    ASSERT_EQ(VariantChangeType(&v, &i4, 0, s.type), S_OK);
    EXPECT_EQ(PutProp(d, s.id, v), S_OK);
    if (s.holds) {
      EXPECT_TRUE(s.holds(w)) << "DISPID " << s.id << " = " << s.value;
    }
  }
  VARIANT caption;
  V_VT(&caption) = VT_BSTR;
  V_BSTR(&caption) = SysAllocString(L"Start the setup");
  EXPECT_EQ(PutProp(d, DISPID_Caption, caption), S_OK);
  VariantClear(&caption);
  wchar_t text[64] = {};
  GetWindowTextW(w, text, 64);
  EXPECT_EQ(std::wstring(text), L"Start the setup");

  // Deactivated, the panel's window leaves the page.
  EXPECT_EQ(ip->InPlaceDeactivate(), S_OK);
  EXPECT_FALSE(IsWindow(w));
  ip->Release();
  d->Release();
}

TEST(FetchkitCom, NoExceptionOfAControlLeavesTheFrameworkAndItsSinkReachesTheControl) {
  StartHost();
  const CLSID made = {0x5EFFDAF0, 0x44CF, 0x11D1, {0xAC, 0xEE, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
  const CLSID unmade = {0x5EFFDAF1, 0x44CF, 0x11D1, {0xAC, 0xEE, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
  static TActiveXControlFactory factory(
      ComServer(), [] { return new TFailingControl(); }, [] { return new TComponent(nullptr); }, made, 1, "", 0,
      "FailingControl");
  static TActiveXControlFactory failingFactory(
      ComServer(), []() -> TActiveXControl* { throw 42; }, [] { return new TComponent(nullptr); }, unmade, 1, "", 0,
      "UnmadeControl");
  IOleObject* ole = nullptr;
  ASSERT_EQ(factory.CreateInstance(nullptr, IID_IOleObject, reinterpret_cast<void**>(&ole)), S_OK);
  auto* control = static_cast<TFailingControl*>(ole);
  IPersistPropertyBag* persist = nullptr;
  IOleInPlaceObject* inPlace = nullptr;
  ASSERT_EQ(ole->QueryInterface(IID_IPersistPropertyBag, reinterpret_cast<void**>(&persist)), S_OK);
  ASSERT_EQ(ole->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace)), S_OK);
  TPageSite site;
  TPageBag bag;
  auto activate = [&] {
    control->Fail = false;
    ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, site.Window, &site.Pos);
  };
  struct Entry {
    const char* name;
    std::function<void()> before;
    std::function<HRESULT()> call;
  } entries[] = {
      {"CreateInstance", nullptr,
       [&] {
         void* obj = nullptr;
         return failingFactory.CreateInstance(nullptr, IID_IUnknown, &obj);
       }},
      {"Load", nullptr, [&] { return persist->Load(&bag, nullptr); }},
      {"Save", nullptr, [&] { return persist->Save(&bag, FALSE, TRUE); }},
      {"DoVerb(hide)", activate, [&] { return ole->DoVerb(OLEIVERB_HIDE, nullptr, &site, 0, site.Window, &site.Pos); }},
      {"Close", activate, [&] { return ole->Close(OLECLOSE_NOSAVE); }},
      {"InPlaceDeactivate", activate, [&] { return inPlace->InPlaceDeactivate(); }},
  };
  for (const Entry& e : entries) {
    if (e.before) e.before();
    control->Fail = true;
    SetErrorInfo(0, nullptr);
    HRESULT hr = S_OK;
    EXPECT_NO_THROW(hr = e.call()) << e.name;
    EXPECT_TRUE(FAILED(hr)) << e.name;
    IErrorInfo* info = nullptr;
    BSTR text = nullptr;
    if (GetErrorInfo(0, &info) != S_OK) {
      ADD_FAILURE() << e.name << ": no error information";
      continue;
    }
    info->GetDescription(&text);
    EXPECT_STREQ(text, L"Unknown exception") << e.name;
    SysFreeString(text);
    info->Release();
  }
  control->Fail = false;

  // One sink at a time reaches the control's event hook, and goes again.
  IConnectionPointContainer* cpc = nullptr;
  IConnectionPoint* cp = nullptr;
  ASSERT_EQ(ole->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&cpc)), S_OK);
  EXPECT_EQ(cpc->FindConnectionPoint(IID_IPropertyNotifySink, &cp), CONNECT_E_NOCONNECTION);
  ASSERT_EQ(cpc->FindConnectionPoint(DIID_IFetchkitXEvents, &cp), S_OK);
  TEventSink sink, other;
  DWORD cookie = 0, second = 0;
  ASSERT_EQ(cp->Advise(&sink, &cookie), S_OK);
  EXPECT_EQ(control->Sinks, (std::vector<IUnknown*>{&sink}));
  EXPECT_EQ(sink.Refs, 1);
  EXPECT_EQ(cp->Advise(&other, &second), CONNECT_E_ADVISELIMIT);
  EXPECT_EQ(cp->Unadvise(cookie), S_OK);
  EXPECT_EQ(control->Sinks, (std::vector<IUnknown*>{&sink, nullptr}));
  EXPECT_EQ(sink.Refs, 0);
  cp->Release();
  cpc->Release();
  inPlace->Release();
  persist->Release();
  ole->Release();
}

TEST(FetchkitCom, AnInactiveControlDrawsItsPanelIntoTheContainersDeviceContext) {
  IDispatch* d = CreateControl();
  TPageBag bag;
  for (auto& [name, value] : ExamplePageParams()) bag.Set(name, value);
  ASSERT_EQ(LoadBag(d, bag), S_OK);
  const COLORREF back = RGB(0xC0, 0xFF, 0xC0), white = RGB(0xFF, 0xFF, 0xFF);
  VARIANT color;
  V_VT(&color) = VT_UI4;
  V_UI4(&color) = back;
  ASSERT_EQ(PutProp(d, DISPID_Color, color), S_OK);
  IOleInPlaceObject* inPlace = Query<IOleInPlaceObject>(d, IID_IOleInPlaceObject);
  HWND none = nullptr;
  EXPECT_TRUE(FAILED(inPlace->GetWindow(&none)));  // never activated
  inPlace->Release();

  const int W = 220, H = 80;
  BITMAPINFO bi = {};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), W, -H, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bmp = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(bmp, nullptr);
  HGDIOBJ oldBmp = SelectObject(dc, bmp);
  auto pixel = [&](int X, int Y) {
    GdiFlush();
    COLORREF c = static_cast<const COLORREF*>(bits)[Y * W + X] & 0xFFFFFF;
    return RGB(GetBValue(c), GetGValue(c), GetRValue(c));  // the DIB holds blue first
  };
  // The example page's 75 x 25 pixels, and a larger extent at the origin.
  for (RECT r : {RECT{10, 5, 85, 30}, RECT{0, 0, W, H}}) {
    PatBlt(dc, 0, 0, W, H, WHITENESS);
    ASSERT_EQ(OleDraw(d, DVASPECT_CONTENT, dc, &r), S_OK);
    std::string where = "at " + std::to_string(r.left) + "," + std::to_string(r.top);
    // The raised outer bevel at the bounds' corners, the colour inside.
    EXPECT_EQ(pixel(r.left, r.top), GetSysColor(COLOR_BTNHIGHLIGHT)) << where;
    EXPECT_EQ(pixel(r.right - 1, r.bottom - 1), GetSysColor(COLOR_BTNSHADOW)) << where;
    EXPECT_EQ(pixel(r.left + 2, r.top + 2), back) << where;
    // The caption in the middle.
    int ink = 0;
    for (int y = r.top + 2; y < r.bottom - 2; ++y)
      for (int x = r.left + 2; x < r.right - 2; ++x) ink += pixel(x, y) != back;
    EXPECT_GT(ink, 20) << where;
    if (r.left > 0) {
      EXPECT_EQ(pixel(r.left - 1, r.top), white) << where;
      EXPECT_EQ(pixel(r.right, r.bottom), white) << where;
    }
  }
  // Other aspects and no bounds are refused; the extent is the object's.
  IViewObject2* view = Query<IViewObject2>(d, IID_IViewObject2);
  ASSERT_NE(view, nullptr);
  RECTL bounds{0, 0, 75, 25};
  EXPECT_EQ(view->Draw(DVASPECT_ICON, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0),
            DV_E_DVASPECT);
  EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, nullptr, nullptr, nullptr, 0),
            E_INVALIDARG);
  SIZEL viewSize{}, objectSize{};
  IOleObject* ole = Query<IOleObject>(d, IID_IOleObject);
  EXPECT_EQ(view->GetExtent(DVASPECT_CONTENT, -1, nullptr, &viewSize), S_OK);
  EXPECT_EQ(ole->GetExtent(DVASPECT_CONTENT, &objectSize), S_OK);
  EXPECT_EQ(viewSize.cx, objectSize.cx);
  EXPECT_EQ(viewSize.cy, objectSize.cy);
  SelectObject(dc, oldBmp);
  DeleteObject(bmp);
  DeleteDC(dc);

  // A container that draws the control itself hears when its look changes
  // (a sink of one notice hears one).
  TAdviseSink sink;
  for (DWORD flags : {0ul, static_cast<DWORD>(ADVF_ONLYONCE)}) {
    sink.ViewChanges = 0;
    ASSERT_EQ(view->SetAdvise(DVASPECT_CONTENT, flags, &sink), S_OK);
    IAdviseSink* got = nullptr;
    DWORD aspects = 0, gotFlags = 99;
    EXPECT_EQ(view->GetAdvise(&aspects, &gotFlags, &got), S_OK);
    EXPECT_EQ(got, &sink);
    EXPECT_EQ(aspects, static_cast<DWORD>(DVASPECT_CONTENT));
    EXPECT_EQ(gotFlags, flags);
    if (got) got->Release();
    for (const wchar_t* text : {L"Setup", L"Install"}) {
      VARIANT caption;
      V_VT(&caption) = VT_BSTR;
      V_BSTR(&caption) = SysAllocString(text);
      EXPECT_EQ(PutProp(d, DISPID_Caption, caption), S_OK);
      VariantClear(&caption);
    }
    EXPECT_EQ(sink.ViewChanges, flags ? 1 : 2);
  }
  EXPECT_EQ(view->SetAdvise(DVASPECT_CONTENT, 0, nullptr), S_OK);
  EXPECT_EQ(sink.Refs, 0);

  // What a host embedding the control sees, drawn into the page's window.
  TPageSite site;
  HDC page = GetDC(site.Window);
  EXPECT_EQ(OleDraw(d, DVASPECT_CONTENT, page, &site.Pos), S_OK);
  ReleaseDC(site.Window, page);
  Picture("fetchkit-oledraw", site.Window);
  view->Release();
  ole->Release();
  d->Release();
}

TEST(FetchkitCom, AdviseSinksAndTheEnumerationsAnswerAContainer) {
  IDispatch* d = CreateControl();
  IOleObject* ole = Query<IOleObject>(d, IID_IOleObject);
  ASSERT_NE(ole, nullptr);
  // No sink yet: nothing to take back, nothing listed.
  EXPECT_EQ(ole->Unadvise(1), OLE_E_NOCONNECTION);
  IEnumSTATDATA* statdata = nullptr;
  ASSERT_EQ(ole->EnumAdvise(&statdata), S_OK);
  EXPECT_TRUE((Remaining<IEnumSTATDATA, STATDATA>(statdata)).empty());
  statdata->Release();

  // Two sinks listed with their cookies; the one taken back hears no Close.
  TAdviseSink first, second;
  DWORD c1 = 0, c2 = 0;
  ASSERT_EQ(ole->Advise(&first, &c1), S_OK);
  ASSERT_EQ(ole->Advise(&second, &c2), S_OK);
  EXPECT_NE(c1, c2);
  ASSERT_EQ(ole->EnumAdvise(&statdata), S_OK);
  std::map<DWORD, IAdviseSink*> listed;
  for (const STATDATA& s : Remaining<IEnumSTATDATA, STATDATA>(statdata)) listed[s.dwConnection] = s.pAdvSink;
  statdata->Release();
  EXPECT_EQ(listed, (std::map<DWORD, IAdviseSink*>{{c1, &first}, {c2, &second}}));
  EXPECT_EQ(ole->Unadvise(c1), S_OK);
  EXPECT_EQ(ole->Unadvise(c1), OLE_E_NOCONNECTION);
  EXPECT_EQ(ole->Close(OLECLOSE_NOSAVE), S_OK);
  EXPECT_EQ(first.Closes, 0);
  EXPECT_EQ(second.Closes, 1);
  EXPECT_EQ(ole->Unadvise(c2), S_OK);
  EXPECT_EQ(first.Refs, 0);
  EXPECT_EQ(second.Refs, 0);

  // The one connection point, enumerated, skipped over and cloned.
  IConnectionPointContainer* cpc = Query<IConnectionPointContainer>(d, IID_IConnectionPointContainer);
  IEnumConnectionPoints* points = nullptr;
  ASSERT_EQ(cpc->EnumConnectionPoints(&points), S_OK);
  IEnumConnectionPoints* clone = nullptr;
  ASSERT_EQ(points->Clone(&clone), S_OK);
  IConnectionPoint* found[2] = {};
  ULONG n = 0;
  ASSERT_EQ(points->Next(2, found, &n), S_FALSE);
  ASSERT_EQ(n, 1u);
  IConnectionPoint* cp = found[0];
  IID iid{};
  EXPECT_EQ(cp->GetConnectionInterface(&iid), S_OK);
  EXPECT_TRUE(IsEqualIID(iid, DIID_IFetchkitXEvents));
  EXPECT_EQ(points->Reset(), S_OK);
  EXPECT_EQ(points->Skip(1), S_OK);
  EXPECT_EQ(points->Skip(1), S_FALSE);
  EXPECT_EQ((Remaining<IEnumConnectionPoints, IConnectionPoint*>(clone)), (std::vector<IConnectionPoint*>{cp}));
  clone->Release();
  points->Release();

  // Its connections: none, then the container's event sink with its cookie.
  TEventSink events;
  for (bool advised : {false, true}) {
    DWORD cookie = 0;
    if (advised) {
      ASSERT_EQ(cp->Advise(&events, &cookie), S_OK);
    }
    IEnumConnections* connections = nullptr;
    ASSERT_EQ(cp->EnumConnections(&connections), S_OK);
    std::vector<CONNECTDATA> seen = Remaining<IEnumConnections, CONNECTDATA>(connections);
    connections->Release();
    ASSERT_EQ(seen.size(), advised ? 1u : 0u);
    if (advised) {
      EXPECT_EQ(seen[0].pUnk, static_cast<IUnknown*>(static_cast<IDispatch*>(&events)));
      EXPECT_EQ(seen[0].dwCookie, cookie);
      EXPECT_EQ(cp->Unadvise(cookie), S_OK);
    }
  }
  EXPECT_EQ(events.Refs, 0);
  cp->Release();
  cpc->Release();
  ole->Release();
  d->Release();
}
