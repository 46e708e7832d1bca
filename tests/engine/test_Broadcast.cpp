#include <gtest/gtest.h>

#include "TreeFixtures.h"

namespace {

template <class T>
T* Make(TComponent* Owner, const std::string& Name) {
  T* t = new T(Owner);
  t->SetName(Name);
  return t;
}

class Broadcast : public ::testing::Test {
protected:
  void SetUp() override {
    TreeLog.clear();
    Main = Make<TTestController>(&Module, "Install1");
    Group = Make<TTestGroup>(&Module, "Group");
    File = Make<TTestFile>(&Module, "File");
    Page = Make<TTestPage>(&Module, "Page");
    Manager = Make<TTestPage>(&Module, "Manager");
    Link = Make<TTestLink>(&Module, "Link");
    for (TTestObject* o : std::initializer_list<TTestObject*>{Group, Page, Manager, Link}) o->SetContainer(Main);
    File->SetContainer(Group);
  }
  TComponent Module{nullptr};
  TTestController* Main;
  TTestGroup* Group;
  TTestFile* File;
  TTestPage* Page;
  TTestPage* Manager;
  TTestLink* Link;
};

}  // namespace

TEST(ProtocolCodes, NumbersAndNames) {
  EXPECT_EQ(eccInstallTypeDlg, -999);
  EXPECT_EQ(eccLanguageDialog, -976);
  EXPECT_EQ(eccInstallStatusDialog_Display, -974);
  EXPECT_EQ(eccInstallStatusDialog_Hide, -973);
  EXPECT_EQ(eieAfterInstallFile, 1001);
  EXPECT_EQ(eieInstallFileAbortOlder, 1016);
  EXPECT_EQ(ComponentCallName(-998), "eccCopyingFile");
  EXPECT_EQ(ComponentCallName(-975), "-975");
  EXPECT_EQ(ComponentCallName(1011), "eieChangeDisk");
  EXPECT_EQ(ComponentCallName(0), "0");
  EXPECT_LT(cFileGroup, cInstallFile);
  EXPECT_LT(cInstallShellLink, cDialog);
}

TEST_F(Broadcast, ReachesOnlyTheDialogChildrenWithTheArgumentsUnchanged) {
  TFileStatusParameter status;
  std::vector<TObject*> seen;
  Page->OnCall = [&](int, TObject* PO) { seen.push_back(PO); };
  Main->ExternalComponentCall(Main, eccCopyingFile, &status);
  EXPECT_EQ(Page->Calls, std::vector<int>{eccCopyingFile});
  EXPECT_EQ(Manager->Calls, std::vector<int>{eccCopyingFile});
  EXPECT_TRUE(Group->Calls.empty());
  EXPECT_TRUE(Link->Calls.empty());
  EXPECT_TRUE(File->Calls.empty()) << "only direct children";
  EXPECT_EQ(seen, std::vector<TObject*>{&status});
  // A container without pages reaches nobody.
  Group->ExternalComponentCall(Group, eccBeforeInstallFileGroup, nullptr);
  EXPECT_TRUE(File->Calls.empty());
  EXPECT_EQ(Page->Calls.size(), 1u);
}

TEST_F(Broadcast, SuppressExceptForRoutesEverythingToThatChild) {
  Main->SetSuppressExceptFor(Group);
  Main->ExternalComponentCall(Main, eccStartingUp, nullptr);
  Main->DisplayMessage("Reading file information...");
  EXPECT_EQ(Group->Calls, (std::vector<int>{eccStartingUp, eccInstallStatusDialog_Display}));
  EXPECT_TRUE(Page->Calls.empty());
  EXPECT_TRUE(Manager->Calls.empty());
  Main->SetSuppressExceptFor(nullptr);
  Main->HideMessage();
  EXPECT_EQ(Page->Calls, std::vector<int>{eccInstallStatusDialog_Hide});
}

TEST_F(Broadcast, DisplayMessageLendsATextParameterForTheCall) {
  std::string text;
  Page->OnCall = [&](int code, TObject* PO) {
    ASSERT_EQ(code, eccInstallStatusDialog_Display);
    auto* m = dynamic_cast<TMessageParameter*>(PO);
    ASSERT_NE(m, nullptr);
    text = m->Text;
  };
  Main->DisplayMessage("Reading file information...");
  EXPECT_EQ(text, "Reading file information...");
  // A receiver's failure reaches the sender and ends the broadcast.
  Page->OnCall = [](int, TObject*) { throw EAIUserAbort(); };
  EXPECT_THROW(Main->DisplayMessage("x"), EAIUserAbort);
  EXPECT_EQ(Manager->Calls.size(), 1u);
}

TEST_F(Broadcast, APageInsideAGroupHearsTheGroupNotTheController) {
  auto* groupPage = Make<TTestPage>(&Module, "GroupPage");
  groupPage->SetContainer(Group);
  Group->ExternalComponentCall(Group, eccBeforeInstallFileGroup, nullptr);
  Main->ExternalComponentCall(Main, eccWelcomeDialog, nullptr);
  EXPECT_EQ(groupPage->Calls, std::vector<int>{eccBeforeInstallFileGroup});
  EXPECT_EQ(Page->Calls, std::vector<int>{eccWelcomeDialog});
  EXPECT_EQ(TreeLog[0], "GroupPage:eccBeforeInstallFileGroup from Group");
}

TEST_F(Broadcast, AReceiverThatFreesChildrenDoesNotOverrunTheList) {
  auto* last = Make<TTestPage>(&Module, "Last");
  last->SetContainer(Main);
  Page->OnCall = [&](int, TObject*) {
    delete Manager;
    Manager = nullptr;
    delete Link;
    Link = nullptr;
  };
  Main->ExternalComponentCall(Main, eccGoodInstall, nullptr);
  EXPECT_EQ(Page->Calls.size(), 1u);
  EXPECT_EQ(ChildList(Main), "Group0 Page0 Last1");
}

TEST_F(Broadcast, InformationEventsClimbWhileContainersPassThemOn) {
  TDownloadStatusParameter download;
  // A group that is not busy drops the event.
  File->Report(eieDownloadingNetFile, &download);
  EXPECT_EQ(Group->Events, std::vector<std::string>{"eieDownloadingNetFile<-File"});
  EXPECT_TRUE(Main->Events.empty());
  // A busy group passes it on as its own, with the same parameter.
  TObject* atMain = nullptr;
  Group->PassEventsOn = true;
  Main->OnCall = [&](int, TObject* PO) { atMain = PO; };
  Main->PassEventsOn = true;
  File->Report(eieAfterInstallFile, File);
  EXPECT_EQ(Main->Events, std::vector<std::string>{"eieAfterInstallFile<-Group"});
  EXPECT_EQ(atMain, File);
  // An object inside a shortcut folder or a page reports there and no further.
  auto* inFolder = Make<TTestLink>(&Module, "InFolder");
  inFolder->SetContainer(Link);
  inFolder->Report(eieBPFileContainer, nullptr);
  EXPECT_EQ(Link->Events, std::vector<std::string>{"eieBPFileContainer<-InFolder"});
  EXPECT_EQ(Main->Events.size(), 1u);
  // Without a container nothing is reported.
  inFolder->SetContainer(nullptr);
  inFolder->Report(eieBPFileContainer, nullptr);
  EXPECT_EQ(Link->Events.size(), 1u);
}

TEST_F(Broadcast, ReceiversCheckTheirParameterObjects) {
  TFileStatusParameter status;
  TMessageParameter message;
  EXPECT_EQ(ParameterAs<TFileStatusParameter>(&status, Page, SPONotFileStatus), &status);
  try {
    ParameterAs<TFileStatusParameter>(nullptr, Page, SPONotFileStatus);
    FAIL() << "no exception";
  } catch (const IException& e) {
    EXPECT_EQ(e.Message, "Page got a nil PO parameter");
  }
  try {
    ParameterAs<TFileStatusParameter>(&message, Page, SPONotFileStatus);
    FAIL() << "no exception";
  } catch (const IException& e) {
    EXPECT_EQ(e.Message, "The PO object passed to Page is not a TFileStatusParameter object");
  }
  try {
    ParameterAs<TMessageParameter>(&status, Manager, SPONotMessage);
    FAIL() << "no exception";
  } catch (const IException& e) {
    EXPECT_EQ(e.Message, "The PO object passed to Manager is not a TMessageParameter object");
  }
  try {
    ParameterAs<TDownloadStatusParameter>(&status, Manager, SPONotDownloadStatus);
    FAIL() << "no exception";
  } catch (const IException& e) {
    EXPECT_EQ(e.Message, "The PO object passed to Manager is not a TDownloadStatusParameter object");
  }
}
