// What a person sees of every page in English, German and Japanese: every
// text fits its control and every control lies inside its parent, and the
// faces of the East Asian languages show Latin letters. Pictures of each
// page's own window for review when QNT_SCREENSHOTS names a folder.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>

#include "classlib/StdCtrls.h"
#include "classlib/WinText.h"
#include "foundation/translator/cmp_TTranslator.h"
#include "wizard/WizardFixture.h"
#include "wizard/dlgcmp_TBadInstallationDlg.h"
#include "wizard/dlgcmp_TChangeDiskDlg.h"
#include "wizard/dlgcmp_TCopyFile.h"
#include "wizard/dlgcmp_TInstallFileGroup.h"
#include "wizard/dlgcmp_TInstallStatusDlg.h"
#include "wizard/dlgcmp_TReboot.h"
#include "wizard/dlgcmp_TSelectFolder.h"
#include "wizard/dlgcmp_TSelectLanguage.h"
#include "wizard/dlgcmp_TWelcomeDlg.h"
#include "wizard/ordlg_ChangeDisk.h"
#include "wizard/PageLooks.h"

using testsupport::PageRunner;
using pagelooks::GoOn;
using pagelooks::Looks;
using pagelooks::Settled;
using pagelooks::ShownPage;

// Every page of every kind, in one language; a picture of each named after
// the page and the language.
class WizardLooks : public WizardFixture {
protected:
  void EveryPage(TQlntLanguage Lang, const std::string& Tag);
};

void WizardLooks::EveryPage(TQlntLanguage lang, const std::string& tag) {
  // Every page of a setup takes longer than one page.
  delete Run;
  Run = new testsupport::PageRunner(100000);
  auto* group = new TInstallFileGroup(Module);
  group->SetName("Product");
  group->SetGroupName("Product");
  group->SetDestDirType(ddAbsolute);
  group->SetDestDir("C:\\Program Files\\Quillant");
  auto* docs = new TInstallFileGroup(Module);
  docs->SetName("Docs");
  docs->SetGroupName("Documentation");
  docs->SetContainer(group);
  docs->Description()->Add("The manual and the samples.");
  group->SetSelectedInstallType(itCustom);
  auto* folder = new TCustomShellLinkGroup(Module);
  folder->SetName("Folder1");
  folder->SetContainer(Controller);
  TDialogManager* before = Manager(dmBeforeInstall);
  Page<TSelectLanguageDlg>("Language1", before);
  Page<TWelcomeDlg>("Welcome1", before);
  Page<TInstallFileGroupsDlg>("Groups1", before)->SetContainer(group);
  Page<TSelectFolderDlg>("SelectFolder1", before)->SetContainer(folder);
  Page<TRebootDlg>("Reboot1", Manager(dmReboot));
  Page<TBadInstallationDlg>("Bad1", Manager(dmAfterBadInstall));
  Page<TChangeDiskDlg>("Disk1", Manager(dmChangeDisk));
  auto* copy = Page<TCopyFileDlg>("Copy1", nullptr);
  auto* status = Page<TInstallStatusDlg>("Status1", nullptr);
  auto* file = new TInstallFile(Module);
  file->SetName("File1");

  std::vector<std::string> bad;
  // Japanese is asked for with its own face and character set; the face
  // that stands in for it here has taller lines than Japanese Windows' own,
  // for which a page makes room.
  auto look = [&](TForm* Whole, TForm* Page, const std::string& Name) {
    const std::string m = Looks(Whole);
    Picture(Name, Whole->Handle());
    if (!m.empty()) bad.push_back(Name + ": " + m);
    if (lang == qlJapanese && Page->Font()->Charset() != 128) bad.push_back(Name + ": not the Japanese character set");
  };
  auto lookAndGo = [&]<class F>(F*, const std::string& Name) {
    Run->Step(Name, [] { return ShownPage<F>() != nullptr && Settled(ShownPage<F>()); },
              [&look, Name] {
                F* f = ShownPage<F>();
                TForm* whole = PageRunner::ShownForm<TBaseFormContainer>();
                look(whole ? whole : f, f, Name);
                PageRunner::Click(GoOn(f));
              });
  };
  {
    Translator->SetTranslateIntoLanguage(lang);
    lookAndGo(static_cast<TSelectLanguageForm*>(nullptr), "select_language_" + tag);
    lookAndGo(static_cast<TWelcomeForm*>(nullptr), "welcome_" + tag);
    lookAndGo(static_cast<TFileGroupSelectForm*>(nullptr), "file_groups_" + tag);
    lookAndGo(static_cast<TSelectFolderForm*>(nullptr), "select_folder_" + tag);
    EXPECT_EQ(Broadcast(eccBeginningDialogManager), "");
    lookAndGo(static_cast<TRebootForm*>(nullptr), "reboot_" + tag);
    EXPECT_EQ(Broadcast(eccShutDownDialog), "");
    lookAndGo(static_cast<TBadInstallForm*>(nullptr), "bad_install_" + tag);
    EXPECT_EQ(Broadcast(eccBadInstallDialogManager), "");
    lookAndGo(static_cast<TChangeDiskForm*>(nullptr), "change_disk_" + tag);
    TDiskParameter disk;
    disk.Disk = 2;
    disk.SourceDir = "C:\\Setup";
    TEventParameterList list;
    list.Items = {file, &disk};
    EXPECT_EQ(Broadcast(eccChangeDiskManager, &list), "");

    TFileStatusParameter fs;
    fs.FileName = "QUILLANT.DLL";
    fs.FileComplete = 40;
    fs.TotalComplete = 10;
    EXPECT_EQ(Broadcast(eccCopyingFile, &fs), "");
    look(copy->Form(), copy->Form(), "copy_progress_" + tag);
    EXPECT_EQ(Broadcast(eccDoneCopyingFiles), "");
    // The status window is as wide as the text it shows, in its language.
    Controller->DisplayMessage("Reading file information...");
    look(status->Form(), status->Form(), "install_status_" + tag);
    Controller->HideMessage();
  }
  EXPECT_TRUE(bad.empty()) << testing::PrintToString(bad);
}

TEST_F(WizardLooks, English) { EveryPage(qlEnglish, "en"); }
TEST_F(WizardLooks, German) { EveryPage(qlGerman, "de"); }
TEST_F(WizardLooks, Japanese) { EveryPage(qlJapanese, "ja"); }

// The three languages' tests run beside each other on one display, where
// another test's window may lie over the page: each language's picture is
// its own page's, whatever covers it.
TEST_F(WizardLooks, EachLanguagePicturesItsOwnPage) {
  Page<TWelcomeDlg>("Welcome1", nullptr);
  const std::vector<std::pair<TQlntLanguage, std::string>> langs = {
      {qlEnglish, "en"}, {qlGerman, "de"}, {qlJapanese, "ja"}};
  std::vector<testsupport::TPicture> pictures;
  for (const auto& [lang, tag] : langs) {
    Translator->SetTranslateIntoLanguage(lang);
    Run->Step("welcome " + tag, [] { return PageRunner::ShownForm<TWelcomeForm>() != nullptr; },
              [&, tag] {
                auto* f = PageRunner::ShownForm<TWelcomeForm>();
                RedrawWindow(f->Handle(), nullptr, nullptr,
                             RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
                // A black window over the whole display, shown after the
                // page, as another test's window would be: the last one
                // shown lies on top there.
                HWND cover = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, L"STATIC", L"",
                                             WS_POPUP | SS_BLACKRECT, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                                             GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, nullptr, nullptr);
                ShowWindow(cover, SW_SHOWNOACTIVATE);
                UpdateWindow(cover);
                Sleep(300);
                pictures.push_back(testsupport::WindowPicture(f->Handle()));
                Picture("own_window_" + tag, f->Handle());
                DestroyWindow(cover);
                PageRunner::Click(f->ProceedBtn);
              });
    EXPECT_EQ(Broadcast(eccWelcomeDialog), "");
  }
  ASSERT_EQ(pictures.size(), 3u);
  for (size_t i = 0; i < pictures.size(); ++i) {
    EXPECT_FALSE(pictures[i].Pixels.empty()) << langs[i].second;
    // A page shows more than one colour; the cover is one black area.
    EXPECT_NE(std::count(pictures[i].Pixels.begin(), pictures[i].Pixels.end(), pictures[i].Pixels.front()),
              static_cast<std::ptrdiff_t>(pictures[i].Pixels.size()))
        << langs[i].second;
    for (size_t j = 0; j < i; ++j)
      EXPECT_FALSE(pictures[i] == pictures[j]) << langs[j].second << " and " << langs[i].second << " look alike";
  }
}

// The faces that the Japanese and Korean pages ask for hold the Latin
// letters and digits of their texts (product names, paths, "Next >") as well
// as their own script, as they do on those systems: none is drawn as a box.
TEST(WizardFaces, EastAsianFacesHoldLatinLetters) {
  const std::vector<std::pair<TQlntLanguage, std::wstring>> rows = {
      {qlJapanese, L"\x6B21\x3078\x30BB\x30C3\x30C8"},  // 次へセット
      {qlKorean, L"\xB2E4\xC74C\xC124\xCE58"},          // 다음설치
  };
  for (const auto& [lang, own] : rows) {
    const TLanguageFace face = GetLanguageFace(lang);
    LOGFONTW lf{};
    lf.lfHeight = -12;
    lf.lfCharSet = static_cast<BYTE>(GetAppropriateCharSet(lang));
    wcsncpy(lf.lfFaceName, Widen(face.Name).c_str(), LF_FACESIZE - 1);
    HFONT font = CreateFontIndirectW(&lf);
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    const std::wstring text = L"AZaz09:\\>" + own;
    std::vector<WORD> glyphs(text.size());
    GetGlyphIndicesW(dc, text.c_str(), static_cast<int>(text.size()), glyphs.data(), GGI_MARK_NONEXISTING_GLYPHS);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    DeleteObject(font);
    std::string missing;
    for (size_t i = 0; i < text.size(); ++i)
      if (glyphs[i] == 0xFFFF) missing += Narrow(text.substr(i, 1)) + " ";
    EXPECT_EQ(missing, "") << "language " << lang << ", face " << face.Name;
  }
}
