#include "webcontrol/FetchkitImpl.h"

#include <mutex>

#include "classlib/SysUtils.h"
#include "classlib/TypInfo.h"
#include "classlib/Units.h"
#include "classlib/WinText.h"
#include "webcontrol/fetchkit_SafeFactory.h"
#include "webcontrol/fetchkit_Values.h"

namespace {

// OLEMISC_SIMPLEFRAME or OLEMISC_ACTSLIKELABEL.
const int FetchkitMiscStatus = 0x12000;
// Property names the page may give are at most this long.
const size_t MaxParamName = 120;

TSafeActiveXControlFactory* Factory = nullptr;

void StartFetchkitImpl() {
  if (!Factory)
    Factory = new TSafeActiveXControlFactory(
        ComServer(), [] { return new TFetchkitX(); }, [] { return new TQlntFetchkit(nullptr); }, CLASS_FetchkitX,
        1, "", FetchkitMiscStatus, "FetchkitX");
}

TUnitRegistration reg(ulSetup, "FetchkitImpl", StartFetchkitImpl, nullptr);

std::string FromBSTR(BSTR B) { return B ? Narrow(B, SysStringLen(B)) : std::string(); }

// Reads one name from the bag; the value is cleared by the caller.
bool ReadParam(IPropertyBag* Bag, IErrorLog* Log, const std::string& Name, VARIANT& V) {
  std::wstring w = Widen(Name);
  if (w.size() > MaxParamName) w.resize(MaxParamName);
  VariantInit(&V);
  return Bag->Read(w.c_str(), &V, Log) == S_OK;
}

// The text of a parameter (pages give text; other hosts may give numbers).
bool ParamText(const VARIANT& V, std::string& Text) {
  VARIANT s;
  VariantInit(&s);
  bool ok = SUCCEEDED(VariantChangeType(&s, const_cast<VARIANT*>(&V), 0, VT_BSTR));
  if (ok) Text = FromBSTR(s.bstrVal);
  VariantClear(&s);
  return ok;
}

}  // namespace

void EnsureFetchkitStarted() {
  static std::once_flag once;
  std::call_once(once, [] { InitializeUnits(); });
}

TFetchkitX::TFetchkitX() : TActiveXControl(IID_IFetchkitX, DIID_IFetchkitXEvents) {}

void TFetchkitX::DefinePropertyPages() {}

void TFetchkitX::EventSinkChanged(IUnknown* Sink) { FEvents = static_cast<IDispatch*>(Sink); }

void TFetchkitX::InitializeControl() { FDelphiControl = dynamic_cast<TQlntFetchkit*>(Control()); }

HRESULT TFetchkitX::PersistPropertyBagLoad(IPropertyBag* Bag, IErrorLog* Log) {
  TQlntFetchkit* kit = FDelphiControl;
  if (!kit) return E_UNEXPECTED;
  // Each string property under its own spelling; a value that cannot be
  // taken skips that property and only that one.
  for (const TPropInfo* p : kit->ClassInfo().AllProps()) {
    if (p->Kind != pkString || !p->SetString) continue;
    VARIANT v;
    if (ReadParam(Bag, Log, p->Name, v)) {
      std::string text;
      try {
        if (ParamText(v, text)) p->SetString(kit, text);
      } catch (const std::exception&) {
      }
    }
    VariantClear(&v);
  }
  VARIANT v;
  if (ReadParam(Bag, Log, "SetupCreationDate", v)) {
    double d = 0;
    std::string text;
    if (v.vt == VT_BSTR) {
      if (ParseInvariantFloat(FromBSTR(v.bstrVal), d)) kit->SetSetupCreationDate(d);
    } else {
      VARIANT r;
      VariantInit(&r);
      if (SUCCEEDED(VariantChangeType(&r, &v, 0, VT_R8))) kit->SetSetupCreationDate(r.dblVal);
      VariantClear(&r);
    }
  }
  VariantClear(&v);
  if (ReadParam(Bag, Log, "SetupSize", v)) {
    int32_t n = 0;
    if (v.vt == VT_BSTR) {
      if (ParseInvariantInt32(FromBSTR(v.bstrVal), n)) kit->SetSetupSize(n);
    } else {
      VARIANT r;
      VariantInit(&r);
      if (SUCCEEDED(VariantChangeType(&r, &v, 0, VT_I4))) kit->SetSetupSize(r.lVal);
      VariantClear(&r);
    }
  }
  VariantClear(&v);
  return S_OK;
}

HRESULT TFetchkitX::PersistPropertyBagSave(IPropertyBag*, BOOL, BOOL) { return S_OK; }

HRESULT TFetchkitX::GetString(BSTR* Value, const std::string& (TQlntFetchkit::*Getter)() const) {
  if (!Value) return E_POINTER;
  *Value = nullptr;
  return SafeCall([&] {
    if (!FDelphiControl) throw Exception("The control has no panel");
    *Value = SysAllocString(Widen((FDelphiControl->*Getter)()).c_str());
  });
}

HRESULT TFetchkitX::SetString(BSTR Value, void (TQlntFetchkit::*Setter)(const std::string&)) {
  return SafeCall([&] {
    if (!FDelphiControl) throw Exception("The control has no panel");
    (FDelphiControl->*Setter)(FromBSTR(Value));
  });
}

#define QNT_STRING_ACCESSORS(N)                                                                       \
  HRESULT STDMETHODCALLTYPE TFetchkitX::Get_##N(BSTR* Value) { return GetString(Value, &TQlntFetchkit::N); } \
  HRESULT STDMETHODCALLTYPE TFetchkitX::Set_##N(BSTR Value) { return SetString(Value, &TQlntFetchkit::Set##N); }
QNT_STRING_ACCESSORS(Directory)
QNT_STRING_ACCESSORS(DownloadingMsg_Engli)
QNT_STRING_ACCESSORS(LoadingEXE)
QNT_STRING_ACCESSORS(LogonMsg_Engli)
QNT_STRING_ACCESSORS(HostName)
QNT_STRING_ACCESSORS(Password)
QNT_STRING_ACCESSORS(UserName)
QNT_STRING_ACCESSORS(Caption)
#undef QNT_STRING_ACCESSORS

// A value of the panel: Get reads, Set writes; an exception in either
// becomes the call's error result.
#define QNT_VALUE_ACCESSORS(N, T, GETEXPR, SETSTMT)                                       \
  HRESULT STDMETHODCALLTYPE TFetchkitX::Get_##N(T* Value) {                              \
    if (!Value) return E_POINTER;                                                        \
    return SafeCall([&] {                                                                \
      if (!FDelphiControl) throw Exception("The control has no panel");                  \
      TQlntFetchkit* k = FDelphiControl;                                                 \
      (void)k;                                                                           \
      *Value = (GETEXPR);                                                                \
    });                                                                                  \
  }                                                                                      \
  HRESULT STDMETHODCALLTYPE TFetchkitX::Set_##N(T Value) {                               \
    return SafeCall([&] {                                                                \
      if (!FDelphiControl) throw Exception("The control has no panel");                  \
      TQlntFetchkit* k = FDelphiControl;                                                 \
      (void)k;                                                                           \
      (void)Value;                                                                       \
      SETSTMT;                                                                           \
    });                                                                                  \
  }

QNT_VALUE_ACCESSORS(SetupSize, LONG, k->SetupSize(), k->SetSetupSize(Value))
QNT_VALUE_ACCESSORS(SetupCreationDate, DATE, k->SetupCreationDate(), k->SetSetupCreationDate(Value))
QNT_VALUE_ACCESSORS(BorderWidth, LONG, k->BorderWidth(), k->SetBorderWidth(Value))

// Panel settings that wait for the panel's window class.
#define QNT_PANEL_PENDING(N, T)                                                         \
  HRESULT STDMETHODCALLTYPE TFetchkitX::Get_##N(T* Value) {                              \
    if (!Value) return E_POINTER;                                                        \
    return E_NOTIMPL;                                                                    \
  }                                                                                      \
  HRESULT STDMETHODCALLTYPE TFetchkitX::Set_##N(T) { return E_NOTIMPL; }
QNT_PANEL_PENDING(Alignment, TxAlignment)
QNT_PANEL_PENDING(BevelInner, TxPanelBevel)
QNT_PANEL_PENDING(BevelOuter, TxPanelBevel)
QNT_PANEL_PENDING(BevelWidth, LONG)
QNT_PANEL_PENDING(BorderStyle, TxBorderStyle)
QNT_PANEL_PENDING(DragCursor, SHORT)
QNT_PANEL_PENDING(DragMode, TxDragMode)
QNT_PANEL_PENDING(Enabled, VARIANT_BOOL)
QNT_PANEL_PENDING(FullRepaint, VARIANT_BOOL)
QNT_PANEL_PENDING(Color, OLE_COLOR)
QNT_PANEL_PENDING(Ctl3D, VARIANT_BOOL)
QNT_PANEL_PENDING(Locked, VARIANT_BOOL)
QNT_PANEL_PENDING(ParentColor, VARIANT_BOOL)
QNT_PANEL_PENDING(ParentCtl3D, VARIANT_BOOL)
QNT_PANEL_PENDING(Visible, VARIANT_BOOL)
QNT_PANEL_PENDING(Cursor, SHORT)

HRESULT STDMETHODCALLTYPE TFetchkitX::Get_Font(IFontDisp** Value) {
  if (!Value) return E_POINTER;
  *Value = nullptr;
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE TFetchkitX::Set_Font(IFontDisp*) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE TFetchkitX::StartInstall() {
  return SafeCall([&] {
    if (!FDelphiControl) throw Exception("The control has no panel");
    FDelphiControl->StartInstall();
  });
}
