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

// An ordinal given by a caller, refused when it names no value of the type.
template <class E>
E CheckedEnum(long Value, long Last) {
  if (Value < 0 || Value > Last) throw Exception("Invalid property value " + IntToStr(static_cast<int>(Value)));
  return static_cast<E>(Value);
}

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

// The window goes before the panel does (the base frees the panel, and by
// then this class's part of the object is gone).
TFetchkitX::~TFetchkitX() {
  ReleaseFontObject();
  try {
    ControlReleaseWindow();
  } catch (...) {
    // Nothing may leave a destructor; the panel's window goes with it.
  }
}

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
    // The component's name is the control's own business, not the page's.
    if (SameText(p->Name, "Name")) continue;
    VARIANT v;
    if (ReadParam(Bag, Log, p->Name, v)) {
      std::string text;
      try {
        if (ParamText(v, text)) p->SetString(kit, text);
      } catch (...) {
        // A value the panel refuses: that property keeps its value.
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

template <class F>
HRESULT TFetchkitX::WithPanel(F Body) {
  return SafeCall([&] {
    if (!FDelphiControl) throw Exception("The control has no panel");
    Body(*FDelphiControl);
  });
}

template <class F>
HRESULT TFetchkitX::ChangePanel(F Body) {
  HRESULT hr = WithPanel(Body);
  if (SUCCEEDED(hr)) ViewChanged();
  return hr;
}

// The text properties go through the panel's published properties by name,
// as the page's parameters do.
HRESULT TFetchkitX::GetString(BSTR* Value, const char* Name) {
  if (!Value) return E_POINTER;
  *Value = nullptr;
  return WithPanel([&](TQlntFetchkit& k) {
    std::string text;
    if (!GetPropertyValueAsString(&k, Name, text)) throw Exception(std::string("The panel has no ") + Name);
    *Value = SysAllocString(Widen(text).c_str());
  });
}

HRESULT TFetchkitX::SetString(BSTR Value, const char* Name) {
  return ChangePanel([&](TQlntFetchkit& k) {
    if (!SetPropertyValueAsString(&k, Name, FromBSTR(Value))) throw Exception(std::string("The panel has no ") + Name);
  });
}

#define QNT_STRING_ACCESSORS(N)                                                                       \
  HRESULT STDMETHODCALLTYPE TFetchkitX::Get_##N(BSTR* Value) { return GetString(Value, #N); } \
  HRESULT STDMETHODCALLTYPE TFetchkitX::Set_##N(BSTR Value) { return SetString(Value, #N); }
QNT_STRING_ACCESSORS(Directory)
QNT_STRING_ACCESSORS(DownloadingMsg_Engli)
QNT_STRING_ACCESSORS(LoadingEXE)
QNT_STRING_ACCESSORS(LogonMsg_Engli)
QNT_STRING_ACCESSORS(HostName)
QNT_STRING_ACCESSORS(Password)
QNT_STRING_ACCESSORS(UserName)
QNT_STRING_ACCESSORS(Caption)
#undef QNT_STRING_ACCESSORS

namespace {
VARIANT_BOOL ToVariantBool(bool Value) { return Value ? VARIANT_TRUE : VARIANT_FALSE; }
}  // namespace

// A value of the panel: Get reads it (GETEXPR, with the panel as k), Set
// writes it (SETSTMT, the new value as Value).
#define QNT_VALUE_ACCESSORS(N, T, GETEXPR, SETSTMT)                                        \
  HRESULT STDMETHODCALLTYPE TFetchkitX::Get_##N(T* Value) {                               \
    if (!Value) return E_POINTER;                                                         \
    return WithPanel([&](TQlntFetchkit& k) { *Value = (GETEXPR); });                      \
  }                                                                                       \
  HRESULT STDMETHODCALLTYPE TFetchkitX::Set_##N(T Value) {                                \
    return ChangePanel([&](TQlntFetchkit& k) { SETSTMT; });                               \
  }

QNT_VALUE_ACCESSORS(SetupSize, LONG, k.SetupSize(), k.SetSetupSize(Value))
QNT_VALUE_ACCESSORS(SetupCreationDate, DATE, k.SetupCreationDate(), k.SetSetupCreationDate(Value))
QNT_VALUE_ACCESSORS(BorderWidth, LONG, k.BorderWidth(), k.SetBorderWidth(Value))
QNT_VALUE_ACCESSORS(BevelWidth, LONG, k.BevelWidth(), k.SetBevelWidth(Value))
QNT_VALUE_ACCESSORS(Alignment, TxAlignment, static_cast<TxAlignment>(k.Alignment()),
                    k.SetAlignment(CheckedEnum<TAlignment>(Value, taCenter)))
QNT_VALUE_ACCESSORS(BevelInner, TxPanelBevel, static_cast<TxPanelBevel>(k.BevelInner()),
                    k.SetBevelInner(CheckedEnum<TPanelBevel>(Value, bvRaised)))
QNT_VALUE_ACCESSORS(BevelOuter, TxPanelBevel, static_cast<TxPanelBevel>(k.BevelOuter()),
                    k.SetBevelOuter(CheckedEnum<TPanelBevel>(Value, bvRaised)))
QNT_VALUE_ACCESSORS(BorderStyle, TxBorderStyle, static_cast<TxBorderStyle>(k.BorderStyle()),
                    k.SetBorderStyle(CheckedEnum<TBorderStyle>(Value, bsSingle)))
QNT_VALUE_ACCESSORS(Enabled, VARIANT_BOOL, ToVariantBool(k.Enabled()), k.SetEnabled(Value != VARIANT_FALSE))
QNT_VALUE_ACCESSORS(Visible, VARIANT_BOOL, ToVariantBool(k.Visible()), k.SetVisible(Value != VARIANT_FALSE))
QNT_VALUE_ACCESSORS(Color, OLE_COLOR, static_cast<OLE_COLOR>(k.Color()), k.SetColor(static_cast<TColor>(Value)))
QNT_VALUE_ACCESSORS(DragCursor, SHORT, static_cast<SHORT>(k.Kept.DragCursor), k.Kept.DragCursor = Value)
QNT_VALUE_ACCESSORS(DragMode, TxDragMode, static_cast<TxDragMode>(k.Kept.DragMode),
                    k.Kept.DragMode = CheckedEnum<int>(Value, dmAutomatic_x))
QNT_VALUE_ACCESSORS(Cursor, SHORT, static_cast<SHORT>(k.Cursor()), k.SetCursor(Value))
QNT_VALUE_ACCESSORS(FullRepaint, VARIANT_BOOL, ToVariantBool(k.Kept.FullRepaint),
                    k.Kept.FullRepaint = Value != VARIANT_FALSE)
QNT_VALUE_ACCESSORS(Ctl3D, VARIANT_BOOL, ToVariantBool(k.Ctl3D()), k.SetCtl3D(Value != VARIANT_FALSE))
QNT_VALUE_ACCESSORS(Locked, VARIANT_BOOL, ToVariantBool(k.Kept.Locked), k.Kept.Locked = Value != VARIANT_FALSE)
QNT_VALUE_ACCESSORS(ParentColor, VARIANT_BOOL, ToVariantBool(k.Kept.ParentColor),
                    k.Kept.ParentColor = Value != VARIANT_FALSE)
QNT_VALUE_ACCESSORS(ParentCtl3D, VARIANT_BOOL, ToVariantBool(k.Kept.ParentCtl3D),
                    k.Kept.ParentCtl3D = Value != VARIANT_FALSE)
#undef QNT_VALUE_ACCESSORS

// Hears every change of the font object the control handed out (the font's
// property notifications) and carries it into the panel's font.
class TFontLink : public TInterfacedObject<IPropertyNotifySink, IID_IPropertyNotifySink> {
public:
  explicit TFontLink(TFetchkitX* Owner) : FOwner(Owner) {}
  // The control is going: later notifications reach nothing.
  void Detach() { FOwner = nullptr; }

  STDMETHODIMP OnChanged(DISPID) override {
    if (FOwner) FOwner->FontObjectChanged();
    return S_OK;
  }
  STDMETHODIMP OnRequestEdit(DISPID) override { return S_OK; }

private:
  TFetchkitX* FOwner;
};

namespace {

// The point of the font object where its property changes are announced.
IConnectionPoint* FontNotifications(IFont* Font) {
  IConnectionPointContainer* cpc = nullptr;
  IConnectionPoint* cp = nullptr;
  if (SUCCEEDED(Font->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&cpc))) && cpc) {
    if (FAILED(cpc->FindConnectionPoint(IID_IPropertyNotifySink, &cp))) cp = nullptr;
    cpc->Release();
  }
  return cp;
}

bool HasStyle(const TFont& F, TFontStyle S) { return (F.Style() & (1u << S)) != 0; }

// The panel's font written into an OLE font object.
void PanelFontToObject(const TFont& F, IFont* Font) {
  BSTR name = SysAllocString(Widen(F.Name()).c_str());
  Font->put_Name(name);
  SysFreeString(name);
  CY size{};
  size.int64 = static_cast<LONGLONG>(F.Size()) * 10000;
  Font->put_Size(size);
  Font->put_Bold(HasStyle(F, fsBold));
  Font->put_Italic(HasStyle(F, fsItalic));
  Font->put_Underline(HasStyle(F, fsUnderline));
  Font->put_Strikethrough(HasStyle(F, fsStrikeOut));
  Font->put_Charset(static_cast<SHORT>(F.Charset()));
}

// An OLE font object copied into the panel's font.
void ObjectToPanelFont(IFont* Font, TQlntFetchkit& K) {
  TFont f;
  f.Assign(K.Font());
  BSTR name = nullptr;
  CY size{};
  BOOL bold = FALSE, italic = FALSE, underline = FALSE, strike = FALSE;
  SHORT charset = 0;
  bool ok = SUCCEEDED(Font->get_Name(&name)) && SUCCEEDED(Font->get_Size(&size)) &&
            SUCCEEDED(Font->get_Bold(&bold)) && SUCCEEDED(Font->get_Italic(&italic)) &&
            SUCCEEDED(Font->get_Underline(&underline)) && SUCCEEDED(Font->get_Strikethrough(&strike)) &&
            SUCCEEDED(Font->get_Charset(&charset));
  std::string text = FromBSTR(name);
  SysFreeString(name);
  if (!ok) throw Exception("Cannot read the font");
  f.SetName(text);
  f.SetSize(static_cast<int>((size.int64 + 5000) / 10000));
  f.SetStyle((bold ? 1u << fsBold : 0u) | (italic ? 1u << fsItalic : 0u) | (underline ? 1u << fsUnderline : 0u) |
             (strike ? 1u << fsStrikeOut : 0u));
  f.SetCharset(static_cast<TFontCharset>(charset));
  K.SetFont(&f);
}

}  // namespace

void TFetchkitX::MakeFontObject(const TFont& F) {
  std::wstring name = Widen(F.Name());
  FONTDESC fd{};
  fd.cbSizeofstruct = sizeof fd;
  fd.lpstrName = name.data();
  fd.cySize.int64 = static_cast<LONGLONG>(F.Size()) * 10000;
  fd.sWeight = static_cast<SHORT>(HasStyle(F, fsBold) ? FW_BOLD : FW_NORMAL);
  fd.sCharset = F.Charset();
  fd.fItalic = HasStyle(F, fsItalic);
  fd.fUnderline = HasStyle(F, fsUnderline);
  fd.fStrikethrough = HasStyle(F, fsStrikeOut);
  IFont* font = nullptr;
  if (FAILED(OleCreateFontIndirect(&fd, IID_IFont, reinterpret_cast<void**>(&font))) || !font)
    throw Exception("Cannot make the font object");
  IConnectionPoint* cp = FontNotifications(font);
  auto* link = new TFontLink(this);
  DWORD cookie = 0;
  bool linked = cp && SUCCEEDED(cp->Advise(link, &cookie));
  if (cp) cp->Release();
  if (!linked) {
    link->Release();
    font->Release();
    throw Exception("Cannot follow the changes of the font object");
  }
  FFontObject = font;
  FFontLink = link;
  FFontCookie = cookie;
}

void TFetchkitX::FontObjectChanged() {
  if (FFontUpdating || !FFontObject || !FDelphiControl) return;
  // Called inside the font object's own call: nothing may leave here.
  try {
    ObjectToPanelFont(FFontObject, *FDelphiControl);
    ViewChanged();
  } catch (...) {
  }
}

void TFetchkitX::ReleaseFontObject() {
  if (!FFontObject) return;
  // A script may keep the object: it stops reaching this control.
  FFontLink->Detach();
  if (IConnectionPoint* cp = FontNotifications(FFontObject)) {
    cp->Unadvise(FFontCookie);
    cp->Release();
  }
  FFontLink->Release();
  FFontLink = nullptr;
  FFontObject->Release();
  FFontObject = nullptr;
}

HRESULT STDMETHODCALLTYPE TFetchkitX::Get_Font(IFontDisp** Value) {
  if (!Value) return E_POINTER;
  *Value = nullptr;
  return WithPanel([&](TQlntFetchkit& k) {
    if (!FFontObject) {
      MakeFontObject(*k.Font());
    } else {
      FFontUpdating = true;
      try {
        PanelFontToObject(*k.Font(), FFontObject);
      } catch (...) {
        FFontUpdating = false;
        throw;
      }
      FFontUpdating = false;
    }
    if (FAILED(FFontObject->QueryInterface(IID_IFontDisp, reinterpret_cast<void**>(Value))))
      throw Exception("Cannot make the font object");
  });
}

HRESULT STDMETHODCALLTYPE TFetchkitX::Set_Font(IFontDisp* Value) {
  if (!Value) return E_POINTER;
  return ChangePanel([&](TQlntFetchkit& k) {
    IFont* font = nullptr;
    if (FAILED(Value->QueryInterface(IID_IFont, reinterpret_cast<void**>(&font))) || !font)
      throw Exception("The value is no font");
    try {
      ObjectToPanelFont(font, k);
    } catch (...) {
      font->Release();
      throw;
    }
    font->Release();
  });
}

// ---------------------------------------------------------------- in place

HWND TFetchkitX::ControlCreateWindow(HWND Parent, const RECT& Pos) {
  if (!FDelphiControl) return nullptr;
  FDelphiControl->SetParentWindow(Parent);
  ControlSetBounds(Pos);
  return FDelphiControl->Handle();
}

void TFetchkitX::ControlSetBounds(const RECT& Pos) {
  if (FDelphiControl) FDelphiControl->SetBounds(Pos.left, Pos.top, Pos.right - Pos.left, Pos.bottom - Pos.top);
}

void TFetchkitX::ControlShow(bool Visible) {
  if (FDelphiControl && FDelphiControl->HandleAllocated())
    ShowWindow(FDelphiControl->Handle(), Visible && FDelphiControl->Visible() ? SW_SHOWNA : SW_HIDE);
}

void TFetchkitX::ControlReleaseWindow() {
  if (FDelphiControl) FDelphiControl->SetParentWindow(nullptr);
}

void TFetchkitX::ControlPaint(HDC DC, const RECT& Bounds) {
  if (FDelphiControl) FDelphiControl->PaintTo(DC, Bounds);
}

HRESULT STDMETHODCALLTYPE TFetchkitX::StartInstall() {
  return SafeCall([&] {
    if (!FDelphiControl) throw Exception("The control has no panel");
    FDelphiControl->StartInstall();
  });
}
