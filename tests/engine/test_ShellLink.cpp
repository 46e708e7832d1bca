#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "LinkFixtures.h"
#include "TreeFixtures.h"
#include "classlib/ComObj.h"
#include "classlib/WinText.h"
#include "common/TestSupport.h"
#include "engine/cmp_TInstallShellLink.h"
#include "foundation/routines/routines_API.h"
#include "foundation/routines/routines_ExpandPaths.h"
#include "foundation/routines/routines_Registry.h"

using linkfixtures::TUninstallEXE;

namespace {

template <class T>
T* Make(TComponent* Owner, const std::string& Name) {
  T* t = new T(Owner);
  t->SetName(Name);
  return t;
}

template <class F>
void Loading(TComponent* C, F SetProperties) {
  C->SetState(csLoading);
  SetProperties();
  C->ClearState(csLoading);
}

std::string Message(const std::function<void()>& F) {
  try {
    F();
  } catch (const Exception& e) {
    return e.Message;
  }
  return "<no error>";
}

// What a saved shortcut holds, read back by a fresh link object.
struct LinkContents {
  std::string Path, Arguments, WorkingDir;
  WORD HotKey = 0;
};
LinkContents ReadLink(const std::string& File) {
  LinkContents c;
  IShellLinkW* link = nullptr;
  EXPECT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                             reinterpret_cast<void**>(&link)),
            S_OK);
  if (!link) return c;
  IPersistFile* pf = nullptr;
  link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&pf));
  EXPECT_EQ(pf->Load(Widen(File).c_str(), STGM_READ), S_OK) << File;
  wchar_t buf[MAX_PATH * 2] = {};
  link->GetPath(buf, MAX_PATH * 2, nullptr, SLGP_RAWPATH);
  c.Path = Narrow(buf);
  buf[0] = 0;
  link->GetArguments(buf, MAX_PATH * 2);
  c.Arguments = Narrow(buf);
  buf[0] = 0;
  link->GetWorkingDirectory(buf, MAX_PATH * 2);
  c.WorkingDir = Narrow(buf);
  link->GetHotkey(&c.HotKey);
  pf->Release();
  link->Release();
  return c;
}

class ShellLinks : public ::testing::Test {
protected:
  void SetUp() override {
    CoInitialize(nullptr);  // the application does it at start-up
    Scratch = testsupport::ScratchDir("qntlnk");
  }
  void TearDown() override {
    Module.reset();
    MainInstallProductName = nullptr;
    ShellLinkFactory = DefaultShellLinkFactory;
    testsupport::RemoveTree(Scratch);
  }
  std::unique_ptr<TComponent> Module = std::make_unique<TComponent>(nullptr);
  std::string Scratch;
};

}  // namespace

TEST_F(ShellLinks, WritersNameAdoptAndRefuse) {
  TComponent* m = Module.get();
  auto* link = Make<TInstallShellLink>(m, "Link");
  link->SetLinkName("Help");
  EXPECT_EQ(link->LinkName(), "Help.LNK");
  Loading(link, [&] { link->SetLinkName("Help"); });
  EXPECT_EQ(link->LinkName(), "Help");

  // Linking names the shortcut after the target and adopts it as container.
  auto* file = Make<TInstallFile>(m, "HelpFile");
  Loading(file, [&] { file->SetDestName("Qlnt32.hlp"); });
  auto* toFile = Make<TInstallShellLink>(m, "ToFile");
  toFile->SetObjectLink(file);
  EXPECT_EQ(toFile->LinkName(), "Qlnt32.lnk");
  EXPECT_EQ(toFile->ObjectLocationType(), ddObjectLink);
  EXPECT_EQ(toFile->Container(), file);
  EXPECT_EQ(toFile->DestDirType(), ddContainerDestDir);
  // A file whose module leaves its destination name out is named by its own.
  auto* unnamed = Make<TInstallFile>(m, "Unnamed");
  Loading(unnamed, [&] { unnamed->SetFileName("Read Me.txt"); });
  auto* toUnnamed = Make<TInstallShellLink>(m, "ToUnnamed");
  toUnnamed->SetObjectLink(unnamed);
  EXPECT_EQ(toUnnamed->LinkName(), "Read Me.lnk");

  auto* group = Make<TInstallFileGroup>(m, "Docs");
  group->SetGroupName("Documents");
  auto* holder = Make<TTestGroup>(m, "Holder");
  auto* toGroup = Make<TInstallShellLink>(m, "ToGroup");
  toGroup->SetContainer(holder);
  toGroup->SetObjectLink(group);
  EXPECT_EQ(toGroup->LinkName(), "Documents.lnk");
  EXPECT_EQ(toGroup->Container(), holder);  // a container it had stays
  toGroup->SetObjectLink(holder);
  EXPECT_EQ(toGroup->LinkName(), "Holder.lnk");
  toGroup->SetObjectLink(nullptr);
  EXPECT_EQ(toGroup->ObjectLocationType(), ddAbsolute);
  EXPECT_EQ(toGroup->ObjectLink(), nullptr);

  // A path names an unnamed shortcut; a base other than the two is refused.
  auto* byPath = Make<TInstallShellLink>(m, "ByPath");
  byPath->SetObjectLocation("C:\\Tools\\Tool.exe");
  EXPECT_EQ(byPath->LinkName(), "Tool.LNK");
  EXPECT_EQ(Message([&] { byPath->SetObjectLocationType(ddWindows); }),
            "Cannot expand and/or set the ObjectLocation property of ByPath");
  EXPECT_EQ(Message([&] { byPath->SetObjectLocationType(ddObjectLink); }),
            "Cannot expand and/or set the ObjectLocation property of ByPath");
  EXPECT_EQ(byPath->ObjectLocationType(), ddAbsolute);

  // One main folder; main-folder shortcuts need it and stay inside it.
  EXPECT_EQ(Message([&] { Make<TInstallMainLink>(m, "TooEarly"); }),
            "To create a TInstallMainLink you must first have a TMainLinkGroup component in your project");
  auto* folder = Make<TMainLinkGroup>(m, "MainFolder1");
  EXPECT_EQ(folder->DestDir(), "\\MainFolderName");
  EXPECT_EQ(Message([&] { Make<TMainLinkGroup>(m, "Second"); }),
            "You can only have one TMainLinkGroup component in your project");
  auto* mainLink = Make<TInstallMainLink>(m, "MainLink");
  EXPECT_EQ(mainLink->Container(), folder);
  EXPECT_EQ(MainFolderLinks->IndexOf(mainLink), 0);
  EXPECT_EQ(Message([&] { mainLink->SetContainer(holder); }),
            "The TMainLinkGroup component must be the Container for TInstallMainLink and TSubLinkGroup components");
  EXPECT_EQ(Message([&] { ShellLinkList->Add(nullptr); }), "Cannot add a blank entry to the shell link list");
  // Its folder and container are fixed: neither is published, unlike a
  // shortcut's, whose other properties it shares.
  auto names = [](const TClassInfo& C) {
    std::vector<std::string> n;
    for (const TPropInfo* p : C.AllProps()) n.push_back(p->Name);
    return n;
  };
  std::vector<std::string> linkNames = names(TInstallShellLink::StaticClassInfo());
  std::erase_if(linkNames, [](const std::string& n) { return n == "Container" || n == "DestDirType"; });
  EXPECT_EQ(names(TInstallMainLink::StaticClassInfo()), linkNames);
  for (const char* hidden : {"Container", "DestDirType"}) {
    EXPECT_EQ(TInstallMainLink::StaticClassInfo().FindProp(hidden), nullptr) << hidden;
    EXPECT_NE(TInstallShellLink::StaticClassInfo().FindProp(hidden), nullptr) << hidden;
  }

  // A shortcut goes with its target, and with its container.
  const int links = ShellLinkList->Count();
  delete file;
  delete folder;
  EXPECT_EQ(ShellLinkList->Count(), links - 2);
  EXPECT_EQ(MainFolder, nullptr);
  EXPECT_EQ(MainFolderLinks->Count(), 0);
  EXPECT_EQ(m->FindComponent("ToFile"), nullptr);
}

TEST_F(ShellLinks, TargetPathPerBase) {
  TComponent* m = Module.get();
  auto* file = Make<TInstallFile>(m, "File");
  Loading(file, [&] {
    file->SetDestDir("C:\\App\\");
    file->SetDestName("a.exe");
  });
  auto* unnamed = Make<TInstallFile>(m, "Unnamed");
  Loading(unnamed, [&] {
    unnamed->SetDestDir("C:\\App\\");
    unnamed->SetFileName("b.exe");
  });
  auto* dir = Make<TTestGroup>(m, "Dir");
  dir->SetDestDir("C:\\App\\Data\\");
  auto* link = Make<TInstallShellLink>(m, "L");
  struct Row {
    TPathSpecifiers Base;
    TInstallContainer* Link;
    const char* Location;
    std::string Expected;
  } rows[] = {
      {ddObjectLink, file, "", "C:\\App\\a.exe"},
      {ddObjectLink, unnamed, "", "C:\\App\\b.exe"},  // no DestName: the file's own name
      {ddObjectLink, dir, "", "C:\\App\\Data"},
      {ddContainerDestDir, nullptr, "\\b.txt", "C:\\App\\Data\\b.txt"},
      {ddWindows, nullptr, "\\x\\", WindowsDir + "\\x"},
      {ddSystem, nullptr, "\\y\\", SystemDir + "\\y"},
      {ddAbsolute, nullptr, "C:\\z\\", "C:\\z"},
      {ddProgramFilesDir, nullptr, "\\p\\", ExpandProgramFilesDir() + "\\p\\"},
      {ddCommonFilesDir, nullptr, "\\c\\", ExpandCommonFilesDir() + "\\c\\"},
      {ddDesktopMenuDir, nullptr, "\\d", ExpandDesktopDir() + "\\d"},
      {ddProgramMenuDir, nullptr, "\\b", ExpandProgramMenuDir() + "\\b"},
      {ddStartMenuDir, nullptr, "", ExpandStartMenuDir()},
      {ddFontDir, nullptr, "", "That path specifier is not allowed for L"},
      {ddMainInstallDir, nullptr, "", "That path specifier is not allowed for L"},
  };
  for (const Row& r : rows) {
    Loading(link, [&] {
      link->SetObjectLink(r.Link);
      link->SetObjectLocationType(r.Base);
      link->SetObjectLocation(r.Location);
      link->SetContainer(r.Base == ddContainerDestDir ? dir : nullptr);
    });
    std::string got;
    try {
      got = link->GetObjectLocation();
    } catch (const IEInstallShellLink& e) {
      got = e.Message;
    }
    EXPECT_EQ(got, r.Expected) << PathSpecifiersInfo.Names[r.Base];
  }
}

TEST_F(ShellLinks, SavedLinkReadsBackAndTheUninstallerGetsTheProductName) {
  TComponent* m = Module.get();
  auto* link = Make<TInstallShellLink>(m, "AppLink");
  link->SetDestDir(Scratch + "\\Menu");
  link->SetObjectLocation(Scratch + "\\bin\\app.exe");
  link->SetParameters("%w /x");
  link->SetHotKey(0x0641);
  link->SetMethod(mtShellLinkInterface);
  link->Install();
  LinkContents c = ReadLink(Scratch + "\\Menu\\app.LNK");
  EXPECT_EQ(c.Path, Scratch + "\\bin\\app.exe");
  EXPECT_EQ(c.Arguments, WindowsDir + " /x");
  EXPECT_EQ(c.WorkingDir, Scratch + "\\bin");
  EXPECT_EQ(c.HotKey, 0x0641);
  EXPECT_TRUE(link->Established());

  // Without a controller the uninstaller's shortcut cannot name the product.
  auto* unins = Make<TUninstallEXE>(m, "Uninstaller");
  Loading(unins, [&] {
    unins->SetDestDir(Scratch);
    unins->SetDestName("uninstall.exe");
  });
  auto* toUnins = Make<TInstallShellLink>(m, "UninsLink");
  toUnins->SetObjectLink(unins);
  toUnins->SetParameters("configured");
  toUnins->SetMethod(mtShellLinkInterface);
  EXPECT_EQ(Message([&] { toUnins->InstallUnique(); }),
            "UninsLink cannot perform operation because there is no TInstall component");
  auto* controller = Make<TTestController>(m, "Install1");
  controller->SetDestDir(Scratch);
  MainInstallProductName = [] { return std::string("Quillant Test"); };
  toUnins->InstallUnique();
  c = ReadLink(Scratch + "\\uninstall.lnk");
  EXPECT_EQ(c.Path, Scratch + "\\uninstall.exe");
  EXPECT_EQ(c.Arguments, "Quillant Test");
}

TEST_F(ShellLinks, RecordedWhetherOrNotALinkIsMade) {
  TComponent* m = Module.get();
  Make<TTestController>(m, "Install1");
  const std::string product = "QntLinkRecord" + std::to_string(GetCurrentProcessId());
  MainInstallProductName = [product] { return product; };
  const std::string key = UninstallKeyFor(product);
  auto* made = Make<TInstallShellLink>(m, "Made");
  made->SetDestDir(Scratch);
  made->SetObjectLocation(WindowsDir + "\\notepad.exe");
  made->SetMethod(mtShellLinkInterface);
  // A Program Manager item is made only in the Programs folder: here none is.
  auto* none = Make<TInstallShellLink>(m, "None");
  none->SetDestDir(Scratch + "\\Other");
  none->SetObjectLocation(WindowsDir + "\\notepad.exe");
  none->SetMethod(mtProgramManager);
  made->Install();
  none->Install();
  EXPECT_TRUE(FileExists(Scratch + "\\notepad.LNK"));
  EXPECT_FALSE(DirectoryExists(Scratch + "\\Other"));
  EXPECT_EQ(GetRVStr(hkLocalMachine, key + "\\Files", "File1", ""), Scratch + "\\notepad.LNK");
  EXPECT_EQ(GetRVStr(hkLocalMachine, key + "\\Files", "File2", ""), Scratch + "\\Other\\notepad.LNK");
  EXPECT_EQ(GetRVStr(hkLocalMachine, key + "\\Files", "Entries", ""), "2");
  DeleteKey(hkLocalMachine, key);
}

namespace {
// A link object whose calls answer what the test says.
class FakeLink : public IShellLinkW, public IPersistFile {
public:
  std::map<std::string, HRESULT> Fail;
  std::vector<std::string> Calls;
  LONG Refs = 1;
  HRESULT Answer(const char* Call) {
    Calls.push_back(Call);
    auto it = Fail.find(Call);
    return it == Fail.end() ? S_OK : it->second;
  }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    HRESULT hr = Answer("QueryInterface");
    if (FAILED(hr)) return hr;
    if (IsEqualIID(riid, IID_IPersistFile)) {
      *ppv = static_cast<IPersistFile*>(this);
      AddRef();
      return S_OK;
    }
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++Refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --Refs; }
  HRESULT STDMETHODCALLTYPE GetPath(LPWSTR, int, WIN32_FIND_DATAW*, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDList(PIDLIST_ABSOLUTE*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetIDList(PCIDLIST_ABSOLUTE) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetDescription(LPWSTR, int) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetDescription(LPCWSTR) override { return Answer("SetDescription"); }
  HRESULT STDMETHODCALLTYPE GetWorkingDirectory(LPWSTR, int) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetWorkingDirectory(LPCWSTR) override { return Answer("SetWorkingDirectory"); }
  HRESULT STDMETHODCALLTYPE GetArguments(LPWSTR, int) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetArguments(LPCWSTR) override { return Answer("SetArguments"); }
  HRESULT STDMETHODCALLTYPE GetHotkey(WORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetHotkey(WORD) override { return Answer("SetHotkey"); }
  HRESULT STDMETHODCALLTYPE GetShowCmd(int*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetShowCmd(int) override { return Answer("SetShowCmd"); }
  HRESULT STDMETHODCALLTYPE GetIconLocation(LPWSTR, int, int*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetIconLocation(LPCWSTR, int) override { return Answer("SetIconLocation"); }
  HRESULT STDMETHODCALLTYPE SetRelativePath(LPCWSTR, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Resolve(HWND, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetPath(LPCWSTR) override { return Answer("SetPath"); }
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE IsDirty() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Load(LPCOLESTR, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Save(LPCOLESTR, BOOL) override { return Answer("Save"); }
  HRESULT STDMETHODCALLTYPE SaveCompleted(LPCOLESTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetCurFile(LPOLESTR*) override { return E_NOTIMPL; }
};

std::string OleText(HRESULT hr) {
  try {
    OleCheck(hr);
  } catch (const EOleSysError& e) {
    return e.Message;
  }
  return "";
}
}  // namespace

TEST_F(ShellLinks, LinkFailuresBecomeTheShortcutsInstallError) {
  const std::string prefix = "The TCustomInstallShellLink L name could not be installed. The following error was reported ";
  struct Row {
    const char* Call;
    uint32_t Code;
    std::string Expected;
  } rows[] = {
      {"SetPath", 0x80040154u,
       prefix + "Indicates that a specified class is not registered in the registration database. Error code -2147221164"},
      {"SetHotkey", 0x8007000Eu, prefix + "Out of memory. Error code -2147024882"},
      {"SetArguments", 0x80070057u, prefix + "Indicates one or more arguments are invalid. Error code -2147024809"},
      {"SetWorkingDirectory", 0x8000FFFFu, prefix + "Indicates an unexpected error occurred. Error code -2147418113"},
      {"QueryInterface", 0x80040110u,
       prefix + "Indicates this class cannot be created as part of an aggregate. Error code -2147221232"},
      {"Save", 0x80004005u, prefix + OleText(static_cast<HRESULT>(0x80004005u)) + ". Error code -2147467259"},
  };
  auto* link = Make<TInstallShellLink>(Module.get(), "L");
  link->SetDestDir(Scratch);
  link->SetObjectLocation("C:\\a.exe");
  FakeLink fake;
  ShellLinkFactory = [&](void** p) {
    fake.AddRef();
    *p = static_cast<IShellLinkW*>(&fake);
    return S_OK;
  };
  for (const Row& r : rows) {
    fake.Fail = {{r.Call, static_cast<HRESULT>(r.Code)}};
    fake.Calls.clear();
    EXPECT_EQ(Message([&] { link->Install32(); }), r.Expected);
    EXPECT_EQ(fake.Calls.back(), r.Call);
    EXPECT_EQ(fake.Refs, 1) << "interfaces released after " << r.Call;
  }

  // The link object not made at all: the OLE error itself.
  ShellLinkFactory = [](void**) { return static_cast<long>(REGDB_E_CLASSNOTREG); };
  try {
    link->Install32();
    ADD_FAILURE() << "no error";
  } catch (const EOleSysError& e) {
    EXPECT_EQ(static_cast<uint32_t>(e.ErrorCode), 0x80040154u);
  }

  // A link path the shell would cut is refused before saving.
  ShellLinkFactory = DefaultShellLinkFactory;
  link->SetDestDir(Scratch + "\\" + std::string(250, 'd'));
  const std::string path = link->LinkPath();
  EXPECT_EQ(Message([&] { link->Install32(); }),
            prefix + "The path " + path + " is too long for a shortcut");
  link->SetDestDir(Scratch);
  Loading(link, [&] { link->SetLinkName(" "); });
  EXPECT_EQ(Message([&] { link->Install32(); }), "The LinkName is blank for L and therefore could not be installed");
}
