// The ActiveX control FetchkitX: the web-install panel as a page sees it,
// through the dual interface IFetchkitX and the page's parameters.
#pragma once
#include "classlib/ComObj.h"
#include "webcontrol/Fetchkit_TLB.h"
#include "webcontrol/cmp_TQlntFetchkit.h"

class TFontLink;

class TFetchkitX : public TActiveXControl, public IFetchkitX {
public:
  TFetchkitX();
  ~TFetchkitX() override;

  QNT_ACTIVEX_IUNKNOWN
  QNT_ACTIVEX_IDISPATCH

  TQlntFetchkit* DelphiControl() const { return FDelphiControl; }

  HRESULT STDMETHODCALLTYPE Get_Directory(BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE Set_Directory(BSTR Value) override;
  HRESULT STDMETHODCALLTYPE Get_DownloadingMsg_Engli(BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE Set_DownloadingMsg_Engli(BSTR Value) override;
  HRESULT STDMETHODCALLTYPE Get_LoadingEXE(BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE Set_LoadingEXE(BSTR Value) override;
  HRESULT STDMETHODCALLTYPE Get_LogonMsg_Engli(BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE Set_LogonMsg_Engli(BSTR Value) override;
  HRESULT STDMETHODCALLTYPE Get_HostName(BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE Set_HostName(BSTR Value) override;
  HRESULT STDMETHODCALLTYPE Get_Password(BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE Set_Password(BSTR Value) override;
  HRESULT STDMETHODCALLTYPE Get_SetupSize(LONG* Value) override;
  HRESULT STDMETHODCALLTYPE Set_SetupSize(LONG Value) override;
  HRESULT STDMETHODCALLTYPE Get_Alignment(TxAlignment* Value) override;
  HRESULT STDMETHODCALLTYPE Set_Alignment(TxAlignment Value) override;
  HRESULT STDMETHODCALLTYPE Get_BevelInner(TxPanelBevel* Value) override;
  HRESULT STDMETHODCALLTYPE Set_BevelInner(TxPanelBevel Value) override;
  HRESULT STDMETHODCALLTYPE Get_BevelOuter(TxPanelBevel* Value) override;
  HRESULT STDMETHODCALLTYPE Set_BevelOuter(TxPanelBevel Value) override;
  HRESULT STDMETHODCALLTYPE Get_BevelWidth(LONG* Value) override;
  HRESULT STDMETHODCALLTYPE Set_BevelWidth(LONG Value) override;
  HRESULT STDMETHODCALLTYPE Get_BorderWidth(LONG* Value) override;
  HRESULT STDMETHODCALLTYPE Set_BorderWidth(LONG Value) override;
  HRESULT STDMETHODCALLTYPE Get_BorderStyle(TxBorderStyle* Value) override;
  HRESULT STDMETHODCALLTYPE Set_BorderStyle(TxBorderStyle Value) override;
  HRESULT STDMETHODCALLTYPE Get_DragCursor(SHORT* Value) override;
  HRESULT STDMETHODCALLTYPE Set_DragCursor(SHORT Value) override;
  HRESULT STDMETHODCALLTYPE Get_DragMode(TxDragMode* Value) override;
  HRESULT STDMETHODCALLTYPE Set_DragMode(TxDragMode Value) override;
  HRESULT STDMETHODCALLTYPE Get_Enabled(VARIANT_BOOL* Value) override;
  HRESULT STDMETHODCALLTYPE Set_Enabled(VARIANT_BOOL Value) override;
  HRESULT STDMETHODCALLTYPE Get_FullRepaint(VARIANT_BOOL* Value) override;
  HRESULT STDMETHODCALLTYPE Set_FullRepaint(VARIANT_BOOL Value) override;
  HRESULT STDMETHODCALLTYPE Get_Caption(BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE Set_Caption(BSTR Value) override;
  HRESULT STDMETHODCALLTYPE Get_Color(OLE_COLOR* Value) override;
  HRESULT STDMETHODCALLTYPE Set_Color(OLE_COLOR Value) override;
  HRESULT STDMETHODCALLTYPE Get_Ctl3D(VARIANT_BOOL* Value) override;
  HRESULT STDMETHODCALLTYPE Set_Ctl3D(VARIANT_BOOL Value) override;
  HRESULT STDMETHODCALLTYPE Get_Font(IFontDisp** Value) override;
  HRESULT STDMETHODCALLTYPE Set_Font(IFontDisp* Value) override;
  HRESULT STDMETHODCALLTYPE Get_Locked(VARIANT_BOOL* Value) override;
  HRESULT STDMETHODCALLTYPE Set_Locked(VARIANT_BOOL Value) override;
  HRESULT STDMETHODCALLTYPE Get_ParentColor(VARIANT_BOOL* Value) override;
  HRESULT STDMETHODCALLTYPE Set_ParentColor(VARIANT_BOOL Value) override;
  HRESULT STDMETHODCALLTYPE Get_ParentCtl3D(VARIANT_BOOL* Value) override;
  HRESULT STDMETHODCALLTYPE Set_ParentCtl3D(VARIANT_BOOL Value) override;
  HRESULT STDMETHODCALLTYPE Get_Visible(VARIANT_BOOL* Value) override;
  HRESULT STDMETHODCALLTYPE Set_Visible(VARIANT_BOOL Value) override;
  HRESULT STDMETHODCALLTYPE Get_Cursor(SHORT* Value) override;
  HRESULT STDMETHODCALLTYPE Set_Cursor(SHORT Value) override;
  HRESULT STDMETHODCALLTYPE Get_UserName(BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE Set_UserName(BSTR Value) override;
  HRESULT STDMETHODCALLTYPE Get_SetupCreationDate(DATE* Value) override;
  HRESULT STDMETHODCALLTYPE Set_SetupCreationDate(DATE Value) override;
  HRESULT STDMETHODCALLTYPE StartInstall() override;

protected:
  IDispatch* DualInterface() override { return static_cast<IFetchkitX*>(this); }
  void DefinePropertyPages() override;
  void EventSinkChanged(IUnknown* Sink) override;
  void InitializeControl() override;
  HRESULT PersistPropertyBagLoad(IPropertyBag* Bag, IErrorLog* Log) override;
  HRESULT PersistPropertyBagSave(IPropertyBag* Bag, BOOL ClearDirty, BOOL SaveAll) override;
  // The panel becomes a child window of the container's window.
  HWND ControlCreateWindow(HWND Parent, const RECT& Pos) override;
  void ControlSetBounds(const RECT& Pos) override;
  void ControlShow(bool Visible) override;
  void ControlReleaseWindow() override;
  // The panel as it looks, for a container that draws the control itself.
  void ControlPaint(HDC DC, const RECT& Bounds) override;

private:
  friend class TFontLink;
  // The panel's font as an OLE font object, made on the first request and
  // brought up to the panel's font on each; a script's change of it reaches
  // the panel's font through FFontLink.
  void MakeFontObject(const TFont& Font);
  void FontObjectChanged();
  void ReleaseFontObject();
  HRESULT GetString(BSTR* Value, const char* Name);
  HRESULT SetString(BSTR Value, const char* Name);
  // Runs Body with the panel; an exception becomes the call's error result.
  template <class F>
  HRESULT WithPanel(F Body);
  // WithPanel for a change of the panel: the container's view hears of it.
  template <class F>
  HRESULT ChangePanel(F Body);

  TQlntFetchkit* FDelphiControl = nullptr;
  IDispatch* FEvents = nullptr;  // the connected IFetchkitXEvents sink (not owned)
  IFont* FFontObject = nullptr;
  TFontLink* FFontLink = nullptr;
  DWORD FFontCookie = 0;
  bool FFontUpdating = false;  // the object is being set from the panel
};

// Starts the library's units (the control's factory among them) once, on
// the first call of an entry point rather than while the library loads.
void EnsureFetchkitStarted();
