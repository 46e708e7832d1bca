#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <memory>

#include "FakeProgman.h"
#include "classlib/Classes.h"
#include "engine/cmp_TProgramManager.h"
#include "foundation/routines/routines_ExpandPaths.h"
#include "common/TestSupport.h"
#include "foundation/routines/routines_API.h"

namespace {

const std::string Service = FakeProgman::UniqueService();

class ProgramManagerClient : public ::testing::Test {
protected:
  void SetUp() override {
    Server = std::make_unique<FakeProgman>(Service);
    PM = std::make_unique<TProgramManager>(nullptr);
    PM->Service = Service;
  }
  void TearDown() override {
    PM.reset();
    Server.reset();
  }
  std::unique_ptr<FakeProgman> Server;
  std::unique_ptr<TProgramManager> PM;
};

using Strings = std::vector<std::string>;

}  // namespace

TEST_F(ProgramManagerClient, SendsTheExactCommandTexts) {
  Server->SetData("Tools", "\"Tools\",3,1\r\n\"Help\",\"C:\\T\\h.exe\",\"C:\\T\",,1,2,0,\r\n");
  PM->CreateGroup("   ");
  PM->AddItem("x", "y", "", 0, "", "");  // no current group yet
  EXPECT_EQ(Server->Commands(), Strings{});
  EXPECT_EQ(PM->CurrentGroup(), "");

  PM->CreateGroup("Tools");
  PM->AddItem("\"C:\\T\\a.exe\" -x", "A", "", 0, "\"C:\\T\"", "");
  PM->ReplaceItem("Help");
  EXPECT_EQ(Server->Commands(), (Strings{"[CreateGroup(\"Tools\")]", "[ShowGroup(Tools,8)]",
                                         "[AddItem(\"C:\\T\\a.exe\" -x,A,,0,,,\"C:\\T\",)]", "[ShowGroup(Tools,8)]",
                                         "[ReplaceItem(\"Help\")]"}));
  // The group is read after every command, each answer the right one. A read
  // that Wine's DDE ends before the server has answered is asked once more
  // (the server has seen both), so under load the server counts it twice.
  const Strings reads = Server->Requests();
  EXPECT_EQ(reads.size(), 3u + static_cast<size_t>(PM->Conversation().RequestsAskedAgain()));
  EXPECT_EQ(Strings(reads.size(), "Tools"), reads);
  EXPECT_EQ(PM->CurrentGroup(), "Tools");
  EXPECT_EQ(PM->ItemCount(), 1);
}

TEST_F(ProgramManagerClient, ReadsGroupFieldsAndFindsItemsWithCase) {
  struct Row {
    const char* Data;
    int Count;
  } rows[] = {{"\"G\",0", 0}, {"\"G\",1\r\n\"Help\",\"\"C:\\a.exe\"\"", 1}, {"\"G\",2\r\nA\r\nB", 2}};
  for (const Row& r : rows) {
    Server->SetData("G", r.Data);
    PM->SetCurrentGroup("G");
    EXPECT_EQ(PM->ItemCount(), r.Count) << r.Data;
  }
  PM->SetCurrentGroup("NoSuchGroup");
  EXPECT_EQ(PM->CurrentGroup(), "");
  EXPECT_EQ(PM->ItemCount(), 0);
  // One request that went unanswered is asked again; two mean no data.
  for (int dropped : {1, 2}) {
    Server->DropRequests(dropped);
    PM->SetCurrentGroup("G");
    EXPECT_EQ(PM->ItemCount(), dropped == 1 ? 2 : 0) << dropped;
  }

  Server->SetData("G", "\"G\",2\r\n"
                       "\"\"Help\"\",\"\"C:\\P\\h.exe\"\" x,\"C:\\P\",\"C:\\P\\i.ico\",10,20,3,Ctrl+H\r\n"
                       "\"Read me\",\"n.exe\",\"\",\",0,0,0,\r\n");
  PM->SetCurrentGroup("G");
  // Description and CommandLine lose two levels of quotes, the others one.
  EXPECT_EQ(PM->Description(1), "Help");
  EXPECT_EQ(PM->CommandLine(1), "C:\\P\\h.exe\"\" x");  // quotes inside stay
  EXPECT_EQ(PM->DefaultDirectory(1), "C:\\P");
  EXPECT_EQ(PM->IconPath(1), "C:\\P\\i.ico");
  EXPECT_EQ(PM->X(1), "10");
  EXPECT_EQ(PM->Y(1), "20");
  EXPECT_EQ(PM->IconIndex(1), "3");
  EXPECT_EQ(PM->ShortcutKey(1), "Ctrl+H");
  EXPECT_EQ(PM->DefaultDirectory(2), "");  // "" loses its opening quote, then its closing one
  EXPECT_EQ(PM->IconPath(2), "");          // a lone quote is a closing one
  EXPECT_EQ(PM->Description(0), "");
  EXPECT_EQ(PM->Description(3), "");
  EXPECT_EQ(PM->ItemIndexOf("Read me"), 2);
  EXPECT_EQ(PM->ItemIndexOf("Help"), 1);
  EXPECT_EQ(PM->ItemIndexOf("help"), -1);
}

TEST_F(ProgramManagerClient, ItemsFollowAGroupTheServerGivesNoDataFor) {
  // An acknowledged group is current even without data, for every item after it.
  PM->CreateGroup("Empty");
  PM->AddItem("a.exe", "A", "", 0, "", "");
  PM->AddItem("b.exe", "B", "", 0, "", "");
  EXPECT_EQ(PM->CurrentGroup(), "Empty");
  EXPECT_EQ(Server->Commands(),
            (Strings{"[CreateGroup(\"Empty\")]", "[ShowGroup(Empty,8)]", "[AddItem(a.exe,A,,0,,,,)]",
                     "[ShowGroup(Empty,8)]", "[AddItem(b.exe,B,,0,,,,)]"}));
}

TEST_F(ProgramManagerClient, RefusalsRaiseTheCommandsErrorAndSendNothingBroken) {
  const std::string longName(240, 'x');
  struct Row {
    const char* Case;
    const char* Refuse;  // prefix the server refuses, or ""
    std::function<void(TProgramManager&)> Call;
    std::string Message;
    size_t Sent;  // commands the server saw
  } rows[] = {
      {"create refused", "[CreateGroup", [](TProgramManager& p) { p.CreateGroup("G"); },
       "The TProgramManager object was unable to create the following program group: G", 1},
      {"show refused", "[ShowGroup", [](TProgramManager& p) { p.CreateGroup("G"); p.AddItem("a", "A", "", 0, "", ""); },
       "The TProgramManager object was unable to open the following program group: G", 2},
      {"add refused", "[AddItem", [](TProgramManager& p) { p.CreateGroup("G"); p.AddItem("a 5%", "A%d", "", 0, "", ""); },
       "The TProgramManager object was unable to add the following program item: A%d to the following group: G. "
       "The arguments passed to  Program Manager were: [AddItem(a 5%,A%d,,0,,,,)]",
       3},
      {"replace refused", "[ReplaceItem", [](TProgramManager& p) { p.CreateGroup("G"); p.ReplaceItem("R"); },
       "The TProgramManager object was unable to replace the following program item: R to the following group: G", 3},
      {"group name too long", "", [&](TProgramManager& p) { p.CreateGroup(longName + longName); },
       "The TProgramManager object was unable to create the following program group: " + longName + longName, 0},
      {"item command too long", "", [&](TProgramManager& p) { p.CreateGroup("G"); p.AddItem(longName, "A", "", 0, "\"C:\\a\"", ""); },
       "", 2},
      {"comma in a group name", "", [](TProgramManager& p) { p.CreateGroup("A,B"); },
       "The TProgramManager object was unable to create the following program group: A,B", 0},
      {"bracket in an item name", "", [](TProgramManager& p) { p.CreateGroup("G"); p.AddItem("a", "A]", "", 0, "", ""); },
       "", 1},
      {"quote in a replaced name", "", [](TProgramManager& p) { p.CreateGroup("G"); p.ReplaceItem("say \"hi\""); },
       "The TProgramManager object was unable to replace the following program item: say \"hi\" to the following group: G",
       1},
      {"parenthesis in the current group", "", [](TProgramManager& p) { p.SetCurrentGroup("(G)"); p.AddItem("a", "A", "", 0, "", ""); },
       "The TProgramManager object was unable to open the following program group: (G)", 0},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.Case);
    Server = nullptr;
    PM = nullptr;
    SetUp();
    Server->SetData("(G)", "\"(G)\"");
    if (*r.Refuse) Server->Refuse(r.Refuse);
    try {
      r.Call(*PM);
      ADD_FAILURE() << "no error";
    } catch (const EAIPMError& e) {
      if (!r.Message.empty()) {
        EXPECT_EQ(e.Message, r.Message);
      }
    }
    EXPECT_EQ(Server->Commands().size(), r.Sent);
    for (const std::string& c : Server->Commands()) EXPECT_LE(c.size(), 255u) << c;
  }
}

TEST_F(ProgramManagerClient, ListsGroupsAndReportsAMissingServer) {
  Server->SetData("Groups", "Accessories\r\nGames\r\n");
  TStringList groups;
  PM->GetWindowGroups(&groups);
  EXPECT_EQ(groups.Text(), "Accessories\r\nGames\r\n");

  TProgramManager none(nullptr);
  none.Service = "QNTNOSUCHSERVICE";
  try {
    none.ItemIndexOf("x");
    ADD_FAILURE() << "no error";
  } catch (const EAIPMCannotOpen& e) {
    EXPECT_EQ(e.Message, "The TProgramManager object was unable to establish a link with Program Manager");
  }
  EXPECT_STREQ(EAIPMError().what(), "The TProgramManager object was unable to communicate with Program Manager");
}

// Wine's own Program Manager server (explorer's, service "PROGMAN").
TEST(ProgramManagerWine, ListsGroupsAndMakesAndReplacesItems) {
  const std::string group = "QntPmTest";
  const std::string folder = ExpandProgramMenuDir() + "\\" + group;
  testsupport::RemoveTree(folder);
  TProgramManager pm(nullptr);
  // Explorer starts with the first window of the session and registers late.
  GetDesktopWindow();
  for (int i = 0;; ++i) {
    try {
      pm.EstablishLinks();
      break;
    } catch (const EAIPMCannotOpen&) {
      if (i == 50) throw;
      Sleep(200);
    }
  }
  pm.CreateGroup(group);
  EXPECT_TRUE(DirectoryExists(folder));
  TStringList groups;
  pm.GetWindowGroups(&groups);
  EXPECT_NE(groups.IndexOf(group), -1) << groups.Text();

  const std::string notepad = WindowsDir + "\\notepad.exe";
  pm.AddItem(notepad, "Pad", "", 0, "\"" + WindowsDir + "\"", "");
  EXPECT_TRUE(FileExists(folder + "\\Pad.lnk"));
  pm.ReplaceItem("Pad");
  EXPECT_FALSE(FileExists(folder + "\\Pad.lnk"));
  testsupport::RemoveTree(folder);
}
