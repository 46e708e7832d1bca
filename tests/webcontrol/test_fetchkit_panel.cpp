// The panel's own rules: which text shows while logging on and downloading,
// what the ownerless copy takes over, and the click.
#include <gtest/gtest.h>

#include <vector>

#include "common/TestSupport.h"
#include "webcontrol/cmp_TQlntFetchkit.h"

TEST(FetchkitPanel, TheMessageLanguagePropertyChoosesTheText) {
  struct Case {
    const char* lang;
    const char* expected;
  } cases[] = {
      {"DownloadingMsg_Japan", ""},             // named and empty: shown empty
      {"downloadingmsg_germa", "Bitte warten"},  // letter case does not matter
      {"DownloadingMsg_Klingon", "Please wait"}, // names nothing: English
      {"", "Please wait"},
      {"HostName", "ftp.example.com"},           // any string property counts
  };
  TQlntFetchkit kit(nullptr);
  kit.SetDownloadingMsg_Engli("Please wait");
  kit.SetHostName("ftp.example.com");
  SetPropertyValueAsString(&kit, "DownloadingMsg_Germa", "Bitte warten");
  for (const Case& c : cases) {
    kit.SetDownloadingMsgLang(c.lang);
    EXPECT_EQ(kit.GetDownloadingMsg(), c.expected) << c.lang;
  }
  kit.SetLogonMsg_Engli("Logging on");
  kit.SetLogonMsgLang("LogonMsg_Vietn");
  EXPECT_EQ(kit.GetLogonMsg(), "");
  kit.SetLogonMsgLang("nothing");
  EXPECT_EQ(kit.GetLogonMsg(), "Logging on");
}

TEST(FetchkitPanel, TheCopyTakesEveryStringAndTheSetupIdentity) {
  TQlntFetchkit page(nullptr);
  page.SetName("FetchkitX1");
  for (const TPropInfo* p : page.ClassInfo().AllProps())
    if (p->Kind == pkString && p->Name != "Name") p->SetString(&page, "value of " + p->Name);
  page.SetSetupCreationDate(36526.5);
  page.SetSetupSize(4242);
  TQlntFetchkit copy(nullptr);
  copy.Assign(&page);
  int strings = 0;
  for (const TPropInfo* p : page.ClassInfo().AllProps()) {
    if (p->Kind != pkString || p->Name == "Name") continue;
    ++strings;
    EXPECT_EQ(p->GetString(&copy), "value of " + p->Name);
  }
  EXPECT_GE(strings, 37);
  EXPECT_EQ(copy.Name(), "");
  EXPECT_EQ(copy.SetupCreationDate(), 36526.5);
  EXPECT_EQ(copy.SetupSize(), 4242);
}

TEST(FetchkitPanel, AClickFlattensThePanelForItsHandlerAndAFailedStartEndsTheRun) {
  // This program is no control library: the export is missing, each click
  // says so, and the second is not swallowed by the first.
  testsupport::DialogWatcher boxes;
  TQlntFetchkit kit(nullptr);
  kit.SetLoadingEXE("setup.exe");
  std::vector<TPanelBevel> seen;
  kit.OnClick = [&](TObject*) { seen.push_back(kit.BevelOuter()); };
  for (int click = 1; click <= 2; ++click) {
    kit.Click();
    EXPECT_EQ(kit.BevelOuter(), bvRaised);
    EXPECT_FALSE(AlreadyClicked) << "click " << click;
  }
  EXPECT_EQ(seen, (std::vector<TPanelBevel>{bvNone, bvNone}));
  auto shown = boxes.Dialogs();
  ASSERT_EQ(shown.size(), 2u);
  for (const auto& box : shown) EXPECT_EQ(box.Text, "Could not load RunInstall from " + GetLibraryName());
}
