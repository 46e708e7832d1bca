// The control's type library as C++ sees it: identifiers, enumerations,
// dispatch identifiers and the dual interface's function table. The order of
// the functions here is the order of Fetchkit.idl (a test compares every
// function's table offset in the compiled library with this table).
#pragma once
#include <ole2.h>
#include <ocidl.h>

// {5EFFDA80-44CF-11D1-ACEE-444553540000} ...
inline constexpr GUID LIBID_Fetchkit = {0x5EFFDA80, 0x44CF, 0x11D1, {0xAC, 0xEE, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID IID_IFetchkitX = {0x5EFFDA81, 0x44CF, 0x11D1, {0xAC, 0xEE, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID DIID_IFetchkitXEvents = {0x5EFFDA82, 0x44CF, 0x11D1, {0xAC, 0xEE, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID CLASS_FetchkitX = {0x5EFFDA83, 0x44CF, 0x11D1, {0xAC, 0xEE, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr WORD FetchkitMajorVersion = 1;
inline constexpr WORD FetchkitMinorVersion = 0;

enum TxAlignment { taLeftJustify_x = 0, taRightJustify_x = 1, taCenter_x = 2 };
enum TxPanelBevel { bvNone_x = 0, bvLowered_x = 1, bvRaised_x = 2 };
enum TxBorderStyle { bsNone_x = 0, bsSingle_x = 1 };
enum TxDragMode { dmManual_x = 0, dmAutomatic_x = 1 };
enum TxMouseButton { mbLeft_x = 0, mbRight_x = 1, mbMiddle_x = 2 };

// Dispatch identifiers of IFetchkitX (1 is not used).
enum : DISPID {
  DISPID_Directory = 2,
  DISPID_DownloadingMsg_Engli = 3,
  DISPID_LoadingEXE = 4,
  DISPID_LogonMsg_Engli = 5,
  DISPID_HostName = 6,
  DISPID_Password = 7,
  DISPID_SetupCreationDate = 8,
  DISPID_StartInstall = 9,
  DISPID_SetupSize = 10,
  DISPID_Alignment = 11,
  DISPID_BevelInner = 12,
  DISPID_BevelOuter = 13,
  DISPID_BevelWidth = 14,
  DISPID_BorderWidth = 15,
  DISPID_BorderStyle = 16,
  DISPID_DragCursor = 17,
  DISPID_DragMode = 18,
  DISPID_Enabled = 19,
  DISPID_FullRepaint = 20,
  DISPID_Caption = 21,
  DISPID_Color = 22,
  DISPID_Ctl3D = 23,
  DISPID_Font = 24,
  DISPID_Locked = 25,
  DISPID_ParentColor = 26,
  DISPID_ParentCtl3D = 27,
  DISPID_Visible = 28,
  DISPID_Cursor = 29,
  DISPID_UserName = 30,
};

// Events (IFetchkitXEvents), never fired by the control.
enum : DISPID { DISPID_OnClick = 1, DISPID_OnDblClick = 2, DISPID_OnResize = 3 };

// The dual interface: IDispatch, then each property's get and put entries,
// then StartInstall.
struct IFetchkitX : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE Get_Directory(BSTR* Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Set_Directory(BSTR Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Get_DownloadingMsg_Engli(BSTR* Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Set_DownloadingMsg_Engli(BSTR Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Get_LoadingEXE(BSTR* Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Set_LoadingEXE(BSTR Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Get_LogonMsg_Engli(BSTR* Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Set_LogonMsg_Engli(BSTR Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Get_HostName(BSTR* Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Set_HostName(BSTR Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Get_Password(BSTR* Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Set_Password(BSTR Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Get_SetupSize(LONG* Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Set_SetupSize(LONG Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Get_Alignment(TxAlignment* Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Set_Alignment(TxAlignment Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Get_BevelInner(TxPanelBevel* Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Set_BevelInner(TxPanelBevel Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Get_BevelOuter(TxPanelBevel* Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Set_BevelOuter(TxPanelBevel Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Get_BevelWidth(LONG* Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Set_BevelWidth(LONG Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Get_BorderWidth(LONG* Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Set_BorderWidth(LONG Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Get_BorderStyle(TxBorderStyle* Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Set_BorderStyle(TxBorderStyle Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Get_DragCursor(SHORT* Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Set_DragCursor(SHORT Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Get_DragMode(TxDragMode* Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Set_DragMode(TxDragMode Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Get_Enabled(VARIANT_BOOL* Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Set_Enabled(VARIANT_BOOL Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Get_FullRepaint(VARIANT_BOOL* Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Set_FullRepaint(VARIANT_BOOL Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Get_Caption(BSTR* Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Set_Caption(BSTR Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Get_Color(OLE_COLOR* Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Set_Color(OLE_COLOR Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Get_Ctl3D(VARIANT_BOOL* Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Set_Ctl3D(VARIANT_BOOL Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Get_Font(IFontDisp** Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Set_Font(IFontDisp* Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Get_Locked(VARIANT_BOOL* Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Set_Locked(VARIANT_BOOL Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Get_ParentColor(VARIANT_BOOL* Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Set_ParentColor(VARIANT_BOOL Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Get_ParentCtl3D(VARIANT_BOOL* Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Set_ParentCtl3D(VARIANT_BOOL Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Get_Visible(VARIANT_BOOL* Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Set_Visible(VARIANT_BOOL Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Get_Cursor(SHORT* Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Set_Cursor(SHORT Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Get_UserName(BSTR* Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Set_UserName(BSTR Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Get_SetupCreationDate(DATE* Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Set_SetupCreationDate(DATE Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE StartInstall() = 0;
};

// The function names of IFetchkitX in table order after IDispatch's seven
// (each property twice: get, then put), as the type library names them.
inline constexpr const wchar_t* IFetchkitXFunctionNames[] = {
    L"Directory", L"Directory", L"DownloadingMsg_Engli", L"DownloadingMsg_Engli", L"LoadingEXE", L"LoadingEXE",
    L"LogonMsg_Engli", L"LogonMsg_Engli", L"HostName", L"HostName", L"Password", L"Password",
    L"SetupSize", L"SetupSize", L"Alignment", L"Alignment", L"BevelInner", L"BevelInner",
    L"BevelOuter", L"BevelOuter", L"BevelWidth", L"BevelWidth", L"BorderWidth", L"BorderWidth",
    L"BorderStyle", L"BorderStyle", L"DragCursor", L"DragCursor", L"DragMode", L"DragMode",
    L"Enabled", L"Enabled", L"FullRepaint", L"FullRepaint", L"Caption", L"Caption",
    L"Color", L"Color", L"Ctl3D", L"Ctl3D", L"Font", L"Font", L"Locked", L"Locked",
    L"ParentColor", L"ParentColor", L"ParentCtl3D", L"ParentCtl3D", L"Visible", L"Visible",
    L"Cursor", L"Cursor", L"UserName", L"UserName", L"SetupCreationDate", L"SetupCreationDate",
    L"StartInstall"};
