// The control as a container sees it: the type library against the C++
// function table, the dispatch identifiers, and the page's parameters.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <map>
#include <string>

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
  bag.Set("Name", "not a name!");           // refused by the panel: skipped
  ASSERT_EQ(LoadBag(d, bag), S_OK);
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
