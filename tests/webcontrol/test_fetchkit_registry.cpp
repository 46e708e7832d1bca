// Registration of Fetchkit.ocx, its removal and the version block that offers
// it (in a prefix of its own: it unregisters the class that the other tests
// of the control use).
#include <gtest/gtest.h>
#include <windows.h>
#include <comcat.h>

#include <string>
#include <vector>

#include "classlib/Registry.h"
#include "classlib/WinText.h"
#include "webcontrol/FetchkitHost.h"
#include "webcontrol/Fetchkit_TLB.h"
#include "webcontrol/fetchkit_SafeFactory.h"

namespace {
const std::string ClassKey = "\\CLSID\\{5EFFDA83-44CF-11D1-ACEE-444553540000}";
const std::string Categories = ClassKey + "\\Implemented Categories";
const std::string Scripting = Categories + "\\{7DD95801-9882-11CF-9FA9-00AA006C42C4}";
const std::string Initializing = Categories + "\\{7DD95802-9882-11CF-9FA9-00AA006C42C4}";

bool KeyExists(const std::string& Key) {
  TRegistry reg(KEY_READ);
  reg.SetRootKey(HKEY_CLASSES_ROOT);
  return reg.KeyExists(Key);
}
std::string Value(const std::string& Key, const std::string& Name = "") {
  TRegistry reg(KEY_READ);
  reg.SetRootKey(HKEY_CLASSES_ROOT);
  if (!reg.OpenKeyReadOnly(Key)) return "<missing>";
  return reg.ReadString(Name);
}
}  // namespace

TEST(FetchkitRegistry, RegisterMarksTheControlSafeAndUnregisterRemovesEverything) {
  OleInitialize(nullptr);
  // The font interface is the system's (its type library is the OLE one):
  // the control's registration neither rewrites nor removes its key.
  auto fontDisp = [] {
    const std::string k = "\\Interface\\{BEF6E003-A874-101A-8BBA-00AA00300CAB}";
    return Value(k) + "|" + Value(k + "\\TypeLib") + "|" + Value(k + "\\TypeLib", "Version") + "|" +
           Value(k + "\\ProxyStubClsid32");
  };
  const std::string systemFont = fontDisp();
  // Loaded and not yet used, the library may go; once started, it stays.
  EXPECT_EQ(fetchkit::CallEntry("DllCanUnloadNow"), S_OK);
  ASSERT_EQ(fetchkit::CallEntry("DllRegisterServer"), S_OK);
  EXPECT_EQ(fetchkit::CallEntry("DllCanUnloadNow"), S_FALSE);
  EXPECT_EQ(fontDisp(), systemFont);
  EXPECT_TRUE(KeyExists(Scripting));
  EXPECT_TRUE(KeyExists(Initializing));
  EXPECT_EQ(Value(Scripting), "");
  EXPECT_TRUE(KeyExists(ClassKey + "\\Control"));
  EXPECT_EQ(Value(ClassKey + "\\InprocServer32", "ThreadingModel"), "Apartment");
  EXPECT_TRUE(SameText(Value(ClassKey + "\\InprocServer32"), fetchkit::OcxPath()));
  EXPECT_EQ(Value(ClassKey + "\\TypeLib"), "{5EFFDA80-44CF-11D1-ACEE-444553540000}");
  EXPECT_EQ(Value(ClassKey + "\\Version"), "1.0");
  EXPECT_EQ(Value(ClassKey + "\\MiscStatus\\1"), "73728");  // 0x12000
  EXPECT_EQ(Value("\\Fetchkit.FetchkitX\\Clsid"), "{5EFFDA83-44CF-11D1-ACEE-444553540000}");
  EXPECT_TRUE(KeyExists("\\TypeLib\\{5EFFDA80-44CF-11D1-ACEE-444553540000}\\1.0"));

  // What a browser asks before it lets a page script the control.
  ICatInformation* cats = nullptr;
  ASSERT_EQ(CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER, IID_ICatInformation,
                             reinterpret_cast<void**>(&cats)),
            S_OK);
  CATID both[2] = {CATID_SafeForScripting, CATID_SafeForInitializing};
  EXPECT_EQ(cats->IsClassOfCategories(CLASS_FetchkitX, 2, both, 0, both), S_OK);

  ASSERT_EQ(fetchkit::CallEntry("DllUnregisterServer"), S_OK);
  EXPECT_EQ(fontDisp(), systemFont);
  EXPECT_FALSE(KeyExists("\\TypeLib\\{5EFFDA80-44CF-11D1-ACEE-444553540000}"));
  EXPECT_FALSE(KeyExists(Scripting));
  EXPECT_FALSE(KeyExists(Categories));
  EXPECT_FALSE(KeyExists(ClassKey));
  EXPECT_FALSE(KeyExists("\\Fetchkit.FetchkitX"));
  EXPECT_NE(cats->IsClassOfCategories(CLASS_FetchkitX, 2, both, 0, both), S_OK);
  cats->Release();

  // The version block: what installers read before they let the library
  // register itself.
  std::wstring path = Widen(fetchkit::OcxPath());
  DWORD handle = 0;
  std::vector<unsigned char> block(GetFileVersionInfoSizeW(path.c_str(), &handle));
  ASSERT_FALSE(block.empty());
  ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(block.size()), block.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT len = 0;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &len));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010008u);  // 1.8.4.0
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00040000u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010004u);  // 1.4.0.0
  EXPECT_EQ(fixed->dwProductVersionLS, 0u);
  // The strings under the file's first translation, as installers look.
  WORD* lang = nullptr;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&lang), &len));
  wchar_t prefix[40];
  swprintf(prefix, 40, L"\\StringFileInfo\\%04X%04X\\", lang[0], lang[1]);
  auto text = [&](const wchar_t* Name) -> std::wstring {
    wchar_t* value = nullptr;
    UINT n = 0;
    if (!VerQueryValueW(block.data(), (std::wstring(prefix) + Name).c_str(), reinterpret_cast<void**>(&value), &n))
      return L"<missing>";
    return n ? std::wstring(value) : L"";
  };
  EXPECT_EQ(text(L"FileDescription"), L"Install OCX");
  EXPECT_EQ(text(L"FileVersion"), L"1.8.4.0");
  EXPECT_EQ(text(L"ProductVersion"), L"1.4.0.0");
  EXPECT_EQ(text(L"OLESelfRegister"), L"");
}
