// The tree as a setup author configures it: read from the install module's
// text form resource (tree_module.txt).
#include <gtest/gtest.h>

#include <algorithm>

#include "TreeFixtures.h"
#include "classlib/FormReader.h"
#include "foundation/routines/routines_ExpandPaths.h"

namespace {
template <class T>
T* Find(TComponent* Module, const std::string& Name) {
  T* t = dynamic_cast<T*>(Module->FindComponent(Name));
  EXPECT_NE(t, nullptr) << Name;
  return t;
}
}  // namespace

TEST(TreeFromForm, StreamedOrdersAndForwardReferencesBuildASortedTree) {
  TreeLog.clear();
  TTreeModule module(nullptr);
  auto* main = Find<TTestController>(&module, "Install1");
  ASSERT_EQ(MainInstall, main);
  // Shortcut streamed first still follows the groups; streamed Orders, gap
  // included, stand as they were written.
  EXPECT_EQ(ChildList(main), "GroupA0 GroupB1 GroupC37 Shortcut0 Page10");
  // Every reference was in place before the first Loaded: the controller,
  // streamed third, already holds the groups streamed after it.
  auto loaded = std::find(TreeLog.begin(), TreeLog.end(), "Install1:loaded [GroupA0 GroupB1 GroupC37 Shortcut0 Page10]");
  EXPECT_NE(loaded, TreeLog.end());
  EXPECT_EQ(TreeLog.front(), "Shortcut:loaded []");
  // Streamed values were stored unchecked, before any container was set.
  auto* file = Find<TTestFile>(&module, "FileA1");
  EXPECT_EQ(file->DestDirType(), ddContainerDestDir);
  EXPECT_EQ(file->GetDestDir(), ExpandProgramFilesDir() + "\\Quillant32\\Version25Beta\\A\\bin");
  EXPECT_EQ(main->InstallTypes(), InstallTypeBit(itFull) | InstallTypeBit(itCompact));
  EXPECT_FALSE(Find<TTestGroup>(&module, "GroupC")->Include());
  EXPECT_EQ(GetPropText(main, "DestDirType"), "ddProgramFilesDir");
  // After loading, a change renumbers.
  Find<TTestGroup>(&module, "GroupC")->SetOrder(0);
  EXPECT_EQ(ChildList(main), "GroupC0 GroupA1 GroupB2 Shortcut0 Page10");
}

TEST(TreeFromForm, InstallSkipsTheSilentlyAbortedGroupAndGoesOn) {
  TreeLog.clear();
  TTreeModule module(nullptr);
  auto* main = Find<TTestController>(&module, "Install1");
  main->SetSelectedInstallType(itCompact);
  TreeLog.clear();
  main->Install();
  std::vector<std::string> steps;
  for (const std::string& s : TreeLog)
    if (s.find(":install") != std::string::npos || s.find(":On") != std::string::npos) steps.push_back(s);
  // GroupB's handler aborts silently; GroupC is not included.
  EXPECT_EQ(steps, (std::vector<std::string>{"Install1:install", "GroupA:install", "FileA1:install",
                                             "GroupB:OnBeforeProcess", "Shortcut:install", "Install1:OnAfterProcess"}));
  EXPECT_FALSE(Find<TTestGroup>(&module, "GroupB")->Installed());
  EXPECT_FALSE(Find<TTestGroup>(&module, "GroupC")->Installed());
  auto* page = Find<TTestPage>(&module, "Page1");
  EXPECT_EQ(page->Calls, (std::vector<int>{eccBeforeProcess, eccInstallTypeDlg, eccAfterProcess}));

  // The user's Cancel in a handler ends the whole walk.
  TreeLog.clear();
  Find<TTestGroup>(&module, "GroupA")->SetOnAfterProcess([](TInstallContainer*) { throw EAIUserAbort(); });
  EXPECT_THROW(main->Install(), EAIUserAbort);
  EXPECT_EQ(std::count(TreeLog.begin(), TreeLog.end(), "Shortcut:install"), 0);
}

TEST(TreeFromForm, EveryTreeClassIsKnownToTheReader) {
  for (const char* name : {"TInstallContainer", "TInstallObject", "TTestGroup", "TTestPage"})
    EXPECT_NE(FindClassInfo(name), nullptr) << name;
  EXPECT_TRUE(FindClassInfo("TTestGroup")->InheritsFrom("TInstallObject"));
  for (const char* prop : {"Include", "InstallTypes", "DestDir", "DestDirType", "OnBeforeProcess", "OnAfterProcess",
                           "Container", "Order"})
    EXPECT_NE(FindClassInfo("TInstallObject")->FindProp(prop), nullptr) << prop;
  // A fresh component carries its declared defaults (Order is always stored).
  TComponent owner(nullptr);
  TInstallObject fresh(&owner);
  std::vector<std::string> differing = PropsDifferingFromDefaults(&fresh);
  EXPECT_TRUE(differing.empty()) << differing.front();
}
