// The wizard's window-free rules: page order, movement over skipping pages,
// manager dispatch and the measures of the pages.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/constants_Quillant.h"
#include "wizard/WizardRules.h"

namespace {

struct Page {
  std::string Name;
  int Order;
  bool Skip = false;
};

// A wizard over plain pages that logs what it shows.
struct FakeWizard {
  std::vector<Page> Pages;
  std::vector<std::string> Shown;
  bool Finished = false;
  TWizardNavigation Nav;
  explicit FakeWizard(std::vector<Page> P) : Pages(std::move(P)) {
    Nav.Count = [this] { return static_cast<int>(Pages.size()); };
    Nav.Skips = [this](int i) { return Pages[static_cast<size_t>(i)].Skip; };
    Nav.Show = [this](int i) { Shown.push_back(Pages[static_cast<size_t>(i)].Name); };
    Nav.Finish = [this] { Finished = true; };
  }
  std::string Current() const { return Nav.Current < 0 ? "" : Pages[static_cast<size_t>(Nav.Current)].Name; }
};

std::string Names(const std::vector<Page>& Pages) {
  std::string s;
  for (const Page& p : Pages) s += p.Name;
  return s;
}

}  // namespace

TEST(WizardOrder, ExchangeSortIsNotStable) {
  struct Case {
    std::vector<Page> In;
    std::string Out;
  } cases[] = {
      // Registered A, B, C with orders 2, 2, 1: a stable sort would give C, A, B.
      {{{"A", 2}, {"B", 2}, {"C", 1}}, "CBA"},
      // This setup's before-install wizard: splash (form-only, registered
      // first), then the components in the module's order.
      {{{"S", 0}, {"W", 10}, {"L", 0}, {"G", 50}, {"F", 60}}, "SLWGF"},
      {{{"X", 3}, {"Y", 1}, {"Z", 2}}, "YZX"},
      {{}, ""},
  };
  for (Case& c : cases) {
    ExchangeSortByOrder(c.In, [](const Page& p) { return p.Order; });
    EXPECT_EQ(Names(c.In), c.Out);
  }
}

TEST(WizardNavigation, NextPassesOverSkippingPages) {
  FakeWizard w({{"P0", 0}, {"P1", 0, true}, {"P2", 0}, {"P3", 0}});
  ASSERT_TRUE(w.Nav.Start());
  EXPECT_EQ(w.Current(), "P0");
  EXPECT_TRUE(w.Nav.IsFirst());
  w.Nav.Next();
  EXPECT_EQ(w.Current(), "P2");
  EXPECT_FALSE(w.Nav.IsFirst());
  w.Nav.Next();
  EXPECT_EQ(w.Current(), "P3");
  EXPECT_TRUE(w.Nav.IsLast());
  w.Nav.Previous();
  EXPECT_EQ(w.Current(), "P2");
  w.Nav.Previous();
  EXPECT_EQ(w.Current(), "P0");
  EXPECT_FALSE(w.Finished);
}

TEST(WizardNavigation, TrailingSkippersShowThePageAgainAndFinish) {
  FakeWizard w({{"P0", 0}, {"P1", 0}, {"P2", 0, true}});
  ASSERT_TRUE(w.Nav.Start());
  w.Nav.Next();
  EXPECT_EQ(w.Current(), "P1");
  // Not last: a skipping page follows, so the page shows Next, not Finish.
  EXPECT_FALSE(w.Nav.IsLast());
  w.Shown.clear();
  w.Nav.Next();
  EXPECT_EQ(w.Current(), "P1");
  EXPECT_EQ(w.Shown, std::vector<std::string>{"P1"});  // refreshed once more
  EXPECT_TRUE(w.Finished);
}

TEST(WizardNavigation, SkippingFirstPageOpensOnTheSecond) {
  FakeWizard w({{"P0", 0, true}, {"P1", 0}, {"P2", 0}});
  ASSERT_TRUE(w.Nav.Start());
  EXPECT_EQ(w.Current(), "P1");
  EXPECT_TRUE(w.Nav.IsFirst());
  // Previous on the first page that does not skip leaves it current.
  w.Nav.Previous();
  EXPECT_EQ(w.Current(), "P1");
  EXPECT_FALSE(w.Finished);
}

TEST(WizardNavigation, EveryPageSkippingShowsNothing) {
  FakeWizard w({{"P0", 0, true}, {"P1", 0, true}});
  EXPECT_FALSE(w.Nav.Start());
  EXPECT_TRUE(w.Shown.empty());
  FakeWizard none({});
  EXPECT_FALSE(none.Nav.Start());
}

TEST(WizardNavigation, SkipIsAskedAgainEachMove) {
  FakeWizard w({{"P0", 0}, {"P1", 0}, {"P2", 0}});
  ASSERT_TRUE(w.Nav.Start());
  w.Pages[1].Skip = true;  // the file-groups page once the install type changes
  w.Nav.Next();
  EXPECT_EQ(w.Current(), "P2");
  w.Pages[1].Skip = false;
  w.Nav.Previous();
  EXPECT_EQ(w.Current(), "P1");
}

TEST(DialogManagerDispatch, EachTypeAnswersItsOwnCodes) {
  struct Case {
    TManagerType Type;
    int Code;
    TManagerAction Action;
  } cases[] = {
      {dmBeforeInstall, eccBeginningDialogManager, maExecute},
      {dmAfterGoodInstall, eccGoodInstallDialogManager, maExecute},
      {dmAfterBadInstall, eccBadInstallDialogManager, maExecute},
      {dmReboot, eccShutDownDialog, maExecute},
      {dmDuringCopyFiles, eccCopyingFile, maUpdateFile},
      {dmDuringCopyFiles, eccDownloadingNetFile, maUpdateDownload},
      {dmDuringCopyFiles, eccDoneCopyingFiles, maCloseCopyForms},
      {dmChangeDisk, eccChangeDiskManager, maChangeDisk},
  };
  const TManagerType types[] = {dmBeforeInstall, dmAfterGoodInstall, dmAfterBadInstall,
                                dmDuringCopyFiles, dmChangeDisk,       dmReboot};
  // Every code from -1000 to -973 against every type: only the table's pairs act.
  for (TManagerType t : types)
    for (int code = BaseECC; code <= eccInstallStatusDialog_Hide; ++code) {
      TManagerAction expected = maNone;
      for (const Case& c : cases)
        if (c.Type == t && c.Code == code) expected = c.Action;
      EXPECT_EQ(ManagerActionFor(t, code), expected) << "type " << t << " code " << code;
    }
}

TEST(WizardMeasures, LanguageGridRowsAndBottomPlace) {
  EXPECT_EQ(LanguageGridRows(13, 2), 7);  // the last row with one empty cell
  EXPECT_EQ(LanguageGridRows(14, 2), 7);
  EXPECT_EQ(LanguageGridRows(1, 2), 1);
  EXPECT_EQ(LanguageGridRows(0, 2), 0);
  int left = 0, top = 0;
  BottomPlace(640, 480, 19, 472, 145, left, top);
  EXPECT_EQ(left, 84);
  EXPECT_EQ(top, 480 - 19 - 145 - 30);
  BottomPlace(641, 480, 19, 472, 145, left, top);  // 84.5: halves go to the even neighbour
  EXPECT_EQ(left, 84);
}

TEST(WizardMeasures, ProgramFolderNames) {
  for (const char* ok : {"Quillant32", "My Tools 2.5", "", "a.b"}) EXPECT_TRUE(IsValidProgramFolderName(ok)) << ok;
  for (const char* bad : {"..", ".", "a\\b", "a/b", "x:y", "what?", "<t>", "a|b", "\"q\"", "tab\there"})
    EXPECT_FALSE(IsValidProgramFolderName(bad)) << bad;
}

// A name confirmed in the file-groups page's open dialog, which takes any
// text as typed: only a usable absolute folder may become a destination; the
// fault names the character or folder name at fault.
TEST(WizardMeasures, DestinationFolders) {
  const std::string notFull =
      "%s is not a full folder name: it must begin with a drive, such as C:\\, or a network share";
  const std::string badChar = "%s cannot take the files: a folder name cannot hold the character %s";
  const std::string badName = "%s cannot take the files: it holds an empty folder name or one of dots only";
  const std::string device = "%s cannot take the files: %s is the name of a device";
  const std::string root = "%s is the root of a drive or a share: the files need a folder of their own there";
  const struct {
    const char* Folder;
    std::string Why;
    const char* Part;
  } rows[] = {
      {"c:\\downloads", "", ""},
      {"D:\\Program Files\\Quillant 2.5\\", "", ""},
      {"\\\\server\\share\\Tools", "", ""},
      // A drive's or a share's root is no product's own folder.
      {"C:", root, ""},
      {"C:\\", root, ""},
      {"\\\\server\\share", root, ""},
      {"\\\\server\\share\\", root, ""},
      {"", "No destination folder was chosen", ""},
      // What typing "*C:\Charts" after the dialog's "*." gives.
      {"c:\\downloads\\*c:", badChar, "*"},
      {"C:\\a:b", badChar, ":"},
      {"C:\\what?", badChar, "?"},
      {"C:\\a/b", badChar, "/"},
      {"C:\\<x>", badChar, "<"},
      {"C:\\a|b", badChar, "|"},
      {"C:\\\"q\"", badChar, "\""},
      {"C:\\tab\there", badChar, "#9"},
      {"Tools", notFull, ""},
      {"C:Tools", notFull, ""},
      {"\\Tools", notFull, ""},
      {"\\\\server", notFull, ""},
      {"\\\\\\share", notFull, ""},
      {"1:\\Tools", notFull, ""},
      {"C:\\a\\\\b", badName, ""},
      {"C:\\..\\b", badName, ".."},
      {"C:\\Tools\\.", badName, "."},
      {"C:\\NUL", device, "NUL"},
      {"C:\\Tools\\com1", device, "com1"},
      {"C:\\LPT9.log", device, "LPT9.log"},
      {"C:\\aux \\x", device, "aux "},
      {"C:\\Tools.\\con.txt.old", device, "con.txt.old"},
      {"C:\\COM0", device, "COM0"},
      {"C:\\CONSOLE", "", ""},
  };
  for (const auto& row : rows) {
    const TFolderFault f = DestinationFolderFault(row.Folder);
    EXPECT_EQ(f.Why, row.Why) << row.Folder;
    EXPECT_EQ(f.Part, row.Part) << row.Folder;
  }
}
