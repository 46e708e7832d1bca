#include <gtest/gtest.h>

#include <memory>

#include "TreeFixtures.h"
#include "classlib/Registry.h"
#include "foundation/routines/routines_API.h"
#include "foundation/routines/routines_Registry.h"
#include "foundation/routines/routines_Strings.h"

namespace {

template <class T>
T* Make(TComponent* Owner, const std::string& Name) {
  T* t = new T(Owner);
  t->SetName(Name);
  return t;
}

// Streaming as the install module does it, in code: every component loading
// while its properties and then its references are set, Loaded at the end.
void Streamed(TComponent* Module, const std::function<void()>& SetProperties) {
  for (int i = 0; i < Module->ComponentCount(); ++i) Module->Components(i)->SetState(csLoading);
  SetProperties();
  for (int i = 0; i < Module->ComponentCount(); ++i) Module->Components(i)->Loaded();
}

std::string Folder(TRootKeys Root, const char* Key, const char* Ident) {
  return DirectoryWOBS(GetRVStr(Root, Key, Ident, "<missing>"));
}

class InstallTree : public ::testing::Test {
protected:
  void SetUp() override { TreeLog.clear(); }
  void TearDown() override { TreeLog.clear(); }
  TComponent Module{nullptr};
};

}  // namespace

TEST_F(InstallTree, StreamedOrdersSortTheChildrenByTypeThenOrder) {
  auto* main = Make<TTestController>(&Module, "Install1");
  auto* link = Make<TTestLink>(&Module, "Link");
  auto* g1 = Make<TTestGroup>(&Module, "GroupB");
  auto* g0 = Make<TTestGroup>(&Module, "GroupA");
  auto* g37 = Make<TTestGroup>(&Module, "GroupD");
  auto* g18 = Make<TTestGroup>(&Module, "GroupC");
  Streamed(&Module, [&] {
    g1->SetOrder(1);
    g0->SetOrder(0);
    g37->SetOrder(37);
    g18->SetOrder(18);
    link->SetOrder(0);
    // References are applied after every property, in stream order.
    for (TTestObject* o : std::initializer_list<TTestObject*>{link, g1, g0, g37, g18}) o->SetContainer(main);
  });
  // The streamed values stand, gaps included, until the next change.
  EXPECT_EQ(ChildList(main), "GroupA0 GroupB1 GroupC18 GroupD37 Link0");
  EXPECT_EQ(main->FileGroupCount(), 4);
  EXPECT_EQ(main->FileGroups(2), g18);
  // A child added at run time with Order -1 goes to the end of its group.
  auto* late = Make<TTestGroup>(&Module, "Late");
  late->SetContainer(main);
  EXPECT_EQ(ChildList(main), "GroupA0 GroupB1 GroupC2 GroupD3 Late4 Link0");
  EXPECT_EQ(late->DestDirType(), ddContainerDestDir);
  // Moving a group to the front renumbers the others.
  g37->SetOrder(0);
  EXPECT_EQ(ChildList(main), "GroupD0 GroupA1 GroupB2 GroupC3 Late4 Link0");
  // An equal Order puts the newcomer before the existing one.
  auto* twin = Make<TTestGroup>(&Module, "Twin");
  Streamed(&Module, [&] { twin->SetOrder(1); });
  twin->SetContainer(main);
  EXPECT_EQ(ChildList(main), "GroupD0 Twin1 GroupA2 GroupB3 GroupC4 Late5 Link0");
  // Without a container a new Order is ignored.
  auto* loose = Make<TTestGroup>(&Module, "Loose");
  loose->SetOrder(5);
  EXPECT_EQ(loose->Order(), -1);
}

TEST_F(InstallTree, CircularReferencesAreRefusedAndChangeNothing) {
  auto* a = Make<TTestGroup>(&Module, "A");
  auto* b = Make<TTestGroup>(&Module, "B");
  auto* c = Make<TTestGroup>(&Module, "C");
  b->SetContainer(a);
  c->SetContainer(b);
  try {
    a->SetContainer(c);
    FAIL() << "no exception";
  } catch (const IEInstallContainer& e) {
    EXPECT_EQ(e.Message, "Circular reference");
  }
  EXPECT_EQ(a->Container(), nullptr);
  EXPECT_EQ(ChildList(c), "");
  EXPECT_EQ(b->Container(), a);
  EXPECT_THROW(a->SetContainer(a), IEInstallContainer);
  EXPECT_EQ(a->HCCount(), 1);
  try {
    a->InsertHelperComponent(nullptr);
    FAIL() << "no exception";
  } catch (const IEInstallContainer& e) {
    EXPECT_EQ(e.Message, "Cannot add a blank base helper component to A");
  }
  // Moving an object keeps it in exactly one list; it brings its Order
  // along, and an equal Order goes first.
  c->SetContainer(a);
  EXPECT_EQ(ChildList(a), "C0 B1");
  EXPECT_EQ(ChildList(b), "");
  c->SetContainer(nullptr);
  EXPECT_EQ(ChildList(a), "B0");
  EXPECT_EQ(c->DestDirType(), ddAbsolute);
}

TEST_F(InstallTree, InstallTypeWritesAndInclusion) {
  auto* g = Make<TTestGroup>(&Module, "G");
  const TInstallTypeSet full = InstallTypeBit(itFull), always = InstallTypeBit(itAlways);
  EXPECT_EQ(g->InstallTypes(), always);
  g->SetInstallTypes(full);
  EXPECT_EQ(g->InstallTypes(), full);
  g->SetInstallTypes(full | always);  // adds "always" to [itFull]
  EXPECT_EQ(g->InstallTypes(), always);
  g->SetInstallTypes(full | always);  // on [itAlways]
  EXPECT_EQ(g->InstallTypes(), full);
  g->SetInstallTypes(0);
  EXPECT_EQ(g->InstallTypes(), always);
  g->SetInstallTypes(always);
  EXPECT_EQ(g->InstallTypes(), always);
  g->SetInstallTypes(InstallTypeBit(itCompact) | InstallTypeBit(itDefault));
  EXPECT_EQ(g->InstallTypes(), InstallTypeBit(itCompact) | InstallTypeBit(itDefault));

  g->SetInstallTypes(full);
  struct {
    bool include;
    TInstallType selected;
    bool expected;
  } rows[] = {{true, itFull, true},    {true, itCompact, false}, {true, itAlways, true},
              {true, itCustom, true},  {false, itFull, false},   {false, itAlways, false}};
  for (auto& r : rows) {
    g->SetInclude(r.include);
    g->SetSelectedInstallType(r.selected);
    EXPECT_EQ(IsIncluded(g), r.expected) << r.include << " " << r.selected;
  }
  EXPECT_FALSE(IsIncluded(nullptr));
}

TEST_F(InstallTree, SelectedInstallTypeReachesTheWholeSubtree) {
  auto* main = Make<TTestController>(&Module, "Install1");
  auto* g = Make<TTestGroup>(&Module, "G");
  auto* f = Make<TTestFile>(&Module, "F");
  g->SetContainer(main);
  f->SetContainer(g);
  main->SetSelectedInstallType(itCompact);
  EXPECT_EQ(f->SelectedInstallType(), itCompact);
  EXPECT_EQ(g->SelectedInstallType(), itCompact);
  EXPECT_EQ(main->SelectedInstallType(), itCompact);
}

TEST_F(InstallTree, InstallWalksTheTreeInTypeOrderAndSkipsPages) {
  auto* main = Make<TTestController>(&Module, "Install1");
  MainInstallProductName = [] { return std::string("Quillant32"); };
  auto* link = Make<TTestLink>(&Module, "Link");
  auto* folder = Make<TTestLinkFolder>(&Module, "Folder");
  auto* page = Make<TTestPage>(&Module, "Page");
  auto* file = Make<TTestFile>(&Module, "File");
  auto* g = Make<TTestGroup>(&Module, "Group");
  auto* inner = Make<TTestFile>(&Module, "Inner");
  for (TTestObject* o : std::initializer_list<TTestObject*>{link, folder, page, file, g}) o->SetContainer(main);
  inner->SetContainer(g);
  main->SetOnBeforeProcess([](TInstallContainer* c) { TreeLog.push_back(c->Name() + ":OnBeforeProcess"); });
  main->SetOnAfterProcess([](TInstallContainer* c) { TreeLog.push_back(c->Name() + ":OnAfterProcess"); });
  main->Install();
  MainInstallProductName = nullptr;
  std::vector<std::string> installs;
  for (const std::string& s : TreeLog)
    if (s.find(":install") != std::string::npos) installs.push_back(s);
  EXPECT_EQ(installs, (std::vector<std::string>{"Install1:install", "Group:install", "Inner:install", "File:install",
                                                "Folder:install", "Link:install"}));
  EXPECT_TRUE(inner->Installed());
  EXPECT_TRUE(main->Installed());
  EXPECT_FALSE(page->Installed());
  // The controller's own broadcasts reach its page, in the walk's order.
  EXPECT_EQ(TreeLog.front(), "Install1:OnBeforeProcess");
  EXPECT_EQ(page->Calls.front(), eccBeforeProcess);
  EXPECT_EQ(page->Calls[1], eccInstallTypeDlg);
  EXPECT_EQ(page->Calls.back(), eccAfterProcess);
  auto pos = [&](const std::string& s) { return std::find(TreeLog.begin(), TreeLog.end(), s) - TreeLog.begin(); };
  const std::string key = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillant32";
  EXPECT_LT(pos("Inner:info " + key), pos("Group:info " + key));
  EXPECT_LT(pos("Install1:info " + key), pos("Install1:OnAfterProcess"));
  EXPECT_LT(pos("Install1:OnAfterProcess"), pos("Page:eccAfterProcess from Install1"));
}

TEST_F(InstallTree, AnInstallTypeThatDoesNotSelectStopsAfterTheBroadcasts) {
  auto* main = Make<TTestController>(&Module, "Install1");
  auto* page = Make<TTestPage>(&Module, "Page");
  page->SetContainer(main);
  main->SetInstallTypes(InstallTypeBit(itFull));
  main->SetSelectedInstallType(itCompact);
  bool before = false, after = false;
  main->SetOnBeforeProcess([&](TInstallContainer*) { before = true; });
  main->SetOnAfterProcess([&](TInstallContainer*) { after = true; });
  main->Install();
  EXPECT_TRUE(before);
  EXPECT_FALSE(after);
  EXPECT_FALSE(main->Installed());
  EXPECT_EQ(page->Calls, (std::vector<int>{eccBeforeProcess, eccInstallTypeDlg}));
  EXPECT_EQ(TreeLog.size(), 2u) << "no install and no uninstall record";
  // Not included: only the first broadcast.
  page->Calls.clear();
  main->SetInclude(false);
  main->Install();
  EXPECT_EQ(page->Calls, (std::vector<int>{eccBeforeProcess}));
}

TEST_F(InstallTree, SilentAbortSkipsOneComponentUserAbortEndsTheWalk) {
  auto* main = Make<TTestController>(&Module, "Install1");
  auto* a = Make<TTestGroup>(&Module, "A");
  auto* b = Make<TTestGroup>(&Module, "B");
  auto* c = Make<TTestGroup>(&Module, "C");
  auto* af = Make<TTestFile>(&Module, "AFile");
  for (TTestObject* o : {a, b, c}) o->SetContainer(main);
  af->SetContainer(a);
  a->SetOnBeforeProcess([](TInstallContainer*) { Abort(); });
  EXPECT_NO_THROW(main->Install());
  EXPECT_FALSE(a->Installed());
  EXPECT_FALSE(af->Installed());
  EXPECT_TRUE(b->Installed());
  EXPECT_TRUE(c->Installed());
  EXPECT_TRUE(main->Installed());

  // A silent abort raised by a child's install ends that child only; its
  // container carries on after it as after a normal return.
  TreeLog.clear();
  a->SetOnBeforeProcess(nullptr);
  af->SetOnAfterProcess([](TInstallContainer*) { Abort(); });
  main->Install();
  EXPECT_TRUE(af->Installed());
  EXPECT_TRUE(a->Installed());

  // The user's Cancel passes through every level.
  TreeLog.clear();
  for (TTestObject* o : {a, b, c}) o->SetInstalled(false);
  b->SetOnBeforeProcess([](TInstallContainer*) { throw EAIUserAbort(); });
  EXPECT_THROW(main->Install(), EAIUserAbort);
  EXPECT_TRUE(a->Installed());
  EXPECT_FALSE(b->Installed());
  EXPECT_FALSE(c->Installed());
}

TEST_F(InstallTree, DestroyingAContainerDetachesItsChildren) {
  auto* main = Make<TTestController>(&Module, "Install1");
  auto* g = Make<TTestGroup>(&Module, "G");
  auto* f1 = Make<TTestFile>(&Module, "F1");
  auto* f2 = Make<TTestFile>(&Module, "F2");
  g->SetContainer(main);
  f1->SetContainer(g);
  f2->SetContainer(g);
  f2->SetDestDirType(ddWindows);
  g->SetSuppressExceptFor(f1);
  main->SetSuppressExceptFor(g);
  size_t before = QuillantComps->size();
  delete g;
  EXPECT_EQ(QuillantComps->size(), before - 1);
  EXPECT_EQ(f1->Container(), nullptr);
  EXPECT_EQ(f1->DestDirType(), ddAbsolute);
  EXPECT_EQ(f2->DestDirType(), ddWindows);
  EXPECT_EQ(main->HCCount(), 0);
  EXPECT_EQ(main->SuppressExceptFor(), nullptr);
  // Freeing a child takes it out of its container's list; the rest renumber.
  f1->SetContainer(main);
  f2->SetContainer(main);
  auto* f3 = Make<TTestFile>(&Module, "F3");
  f3->SetContainer(main);
  delete f2;
  EXPECT_EQ(ChildList(main), "F10 F31");
  // ClearBaseHelperType frees the children of a class, here all of them.
  auto* p = Make<TTestPage>(&Module, "P");
  p->SetContainer(main);
  main->ClearBaseHelperType<TTestFile>();
  EXPECT_EQ(ChildList(main), "P0");
  EXPECT_EQ(Module.FindComponent("F1"), nullptr);
  delete main;
  EXPECT_EQ(MainInstall, nullptr);
  EXPECT_EQ(p->Container(), nullptr);
}

TEST_F(InstallTree, CompAndHelperIndexing) {
  auto* main = Make<TTestController>(&Module, "Install1");
  auto* f = Make<TTestFile>(&Module, "F");
  auto* g = Make<TTestGroup>(&Module, "G");
  auto* p = Make<TTestPage>(&Module, "P");
  for (TTestObject* o : std::initializer_list<TTestObject*>{f, g, p}) o->SetContainer(main);
  EXPECT_EQ(main->CompCount<TTestObject>(), 3);
  EXPECT_EQ(main->CompCount<TTestPage>(), 1);
  EXPECT_EQ(main->Comp<TTestObject>(1), f);
  EXPECT_EQ(main->Comp<TTestPage>(0), p);
  try {
    main->Comp<TTestPage>(1);
    FAIL() << "no exception";
  } catch (const IEInstallContainer& e) {
    EXPECT_EQ(e.Message.rfind("Bad call to the Comp procedure which returns a TInstallObject for a TInstallContainer "
                              "component. The parameters are probably reversed. Index: 1, ComponentType: ",
                              0),
              0u)
        << e.Message;
  }
  EXPECT_EQ(main->HC(2), p);
  try {
    main->HC(3);
    FAIL() << "no exception";
  } catch (const IEInstallContainer& e) {
    EXPECT_EQ(e.Message,
              "Tried to reference a helper component in the following component: Install1. The following index was "
              "used: 3");
  }
  EXPECT_THROW(main->HC(-1), IEInstallContainer);
  // The base class names no registered type and cannot be placed.
  auto* bare = Make<TInstallObject>(&Module, "Bare");
  try {
    bare->SetContainer(main);
    FAIL() << "no exception";
  } catch (const IEInstallContainer& e) {
    EXPECT_EQ(e.Message, "Class must declare a registered type");
  }
  EXPECT_EQ(main->HCCount(), 3);
}

TEST_F(InstallTree, EveryPathBaseResolvesUnderWinesFolders) {
  const char* sf = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
  const char* cv = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
  struct {
    TPathSpecifiers base;
    std::string folder;
  } rows[] = {{ddSystem, SystemDir},
              {ddWindows, WindowsDir},
              {ddProgramFilesDir, Folder(hkLocalMachine, cv, "ProgramFilesDir")},
              {ddCommonFilesDir, Folder(hkLocalMachine, cv, "CommonFilesDir")},
              {ddDesktopMenuDir, Folder(hkCurrentUser, sf, "Desktop")},
              {ddProgramMenuDir, Folder(hkCurrentUser, sf, "Programs")},
              {ddStartMenuDir, Folder(hkCurrentUser, sf, "Start Menu")},
              {ddFontDir, Folder(hkCurrentUser, sf, "Fonts")},
              {ddStartupMenuDir, Folder(hkCurrentUser, sf, "Startup")}};
  auto* main = Make<TTestController>(&Module, "Install1");
  for (auto& r : rows) {
    ASSERT_EQ(r.folder.find('<'), std::string::npos);
    main->SetDestDirType(r.base);
    main->SetDestDir("\\Quillant32\\Version25Beta");
    EXPECT_EQ(main->GetDestDir(), r.folder + "\\Quillant32\\Version25Beta");
    main->SetDestDir("");
    EXPECT_EQ(main->GetDestDir(), r.folder);
    main->SetDestDir("\\");
    EXPECT_EQ(main->GetDestDir(), r.folder);
  }
  main->SetDestDirType(ddAbsolute);
  main->SetDestDir("C:\\");
  EXPECT_EQ(main->GetDestDir(), "C:");
  main->SetDestDir("D:\\Apps\\Mine\\");
  EXPECT_EQ(main->GetDestDir(), "D:\\Apps\\Mine");

  // Objects inside take their container's or the controller's folder.
  auto* g = Make<TTestGroup>(&Module, "G");
  auto* f = Make<TTestFile>(&Module, "F");
  g->SetContainer(main);
  f->SetContainer(g);
  EXPECT_EQ(g->DestDirType(), ddContainerDestDir);
  g->SetDestDir("\\Sub");
  f->SetDestDir("\\Deeper\\");
  EXPECT_EQ(f->GetDestDir(), "D:\\Apps\\Mine\\Sub\\Deeper");
  f->SetDestDirType(ddMainInstallDir);
  EXPECT_EQ(f->GetDestDir(), "D:\\Apps\\Mine\\Deeper");
  EXPECT_EQ(ExpandPath("%a\\x;%c;%i", f), "D:\\Apps\\Mine\\Deeper\\x;D:\\Apps\\Mine\\Sub;D:\\Apps\\Mine");
}

TEST_F(InstallTree, PathBasesOutsideTheTableAreRefusedAndChangeNothing) {
  auto* main = Make<TTestController>(&Module, "Install1");
  main->SetDestDirType(ddWindows);
  for (TPathSpecifiers p : {ddInstallSourceDir, ddContainerArchiveFile, ddObjectLink, ddBDEDLLDir}) {
    try {
      main->SetDestDirType(p);
      ADD_FAILURE() << "accepted " << p;
    } catch (const IEInstallContainer& e) {
      EXPECT_EQ(e.Message, "That path specifier is not allowed for Install1");
    }
    EXPECT_EQ(main->DestDirType(), ddWindows);
  }
  // A loose object cannot take its folder from a container it does not have.
  auto* f = Make<TTestFile>(&Module, "F");
  try {
    f->SetDestDirType(ddContainerDestDir);
    FAIL() << "no exception";
  } catch (const IEBaseHelperComponent& e) {
    EXPECT_EQ(e.Message, "Cannot expand DestDir for F because it has no container");
  }
  EXPECT_EQ(f->DestDirType(), ddAbsolute);
  // Streamed values are stored unchecked; resolving them refuses instead.
  Streamed(&Module, [&] {
    f->SetDestDirType(ddContainerDestDir);
    main->SetDestDirType(ddObjectLink);
  });
  try {
    f->GetDestDir();
    FAIL() << "no exception";
  } catch (const IEBaseHelperComponent& e) {
    EXPECT_EQ(e.Message, "Cannot expand DestDir for F because it has no container");
  }
  try {
    main->GetDestDir();
    FAIL() << "no exception";
  } catch (const IEInstallContainer& e) {
    EXPECT_EQ(e.Message, "That path specifier is not allowed for Install1");
  }
  // Without a controller the controller's folder is no base at all.
  delete main;
  EXPECT_THROW(f->SetDestDirType(ddMainInstallDir), IEBaseHelperComponent);
  EXPECT_EQ(f->DestDirType(), ddContainerDestDir);
}

TEST_F(InstallTree, ADestinationThatLeadsBackToItselfIsAnErrorNotACrash) {
  auto* main = Make<TTestController>(&Module, "Install1");
  Streamed(&Module, [&] { main->SetDestDirType(ddMainInstallDir); });
  EXPECT_THROW(main->GetDestDir(), IEInstallContainer);
  main->SetDestDirType(ddWindows);
  EXPECT_EQ(main->GetDestDir(), WindowsDir);  // the guard is released
}
