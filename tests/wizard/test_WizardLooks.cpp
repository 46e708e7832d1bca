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

namespace {
// Text drawn in black on white in Font: how many pixels it darkens and how
// many of them are dark.
std::pair<int, int> InkAndDark(HFONT Font, const std::wstring& Text) {
  constexpr int W = 400, H = 40;
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = W;
  bi.bmiHeader.biHeight = -H;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ oldBitmap = SelectObject(dc, bitmap), oldFont = SelectObject(dc, Font);
  RECT all{0, 0, W, H};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  SetBkMode(dc, TRANSPARENT);
  TextOutW(dc, 2, 2, Text.c_str(), static_cast<int>(Text.size()));
  GdiFlush();
  int ink = 0, dark = 0;
  for (int i = 0; i < W * H; ++i) {
    const int grey = static_cast<const uint32_t*>(bits)[i] & 0xFF;
    ink += grey < 176;
    dark += grey < 80;
  }
  SelectObject(dc, oldFont);
  SelectObject(dc, oldBitmap);
  DeleteDC(dc);
  DeleteObject(bitmap);
  return {ink, dark};
}
int CALLBACK CountFace(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM Count) {
  ++*reinterpret_cast<int*>(Count);
  return 1;
}
}  // namespace

// The face each language's pages ask for is there in that language's
// character set, holds the letters of its texts (the East Asian faces the
// Latin letters, digits and paths too, as on those systems) and, at the
// language's smallest size, draws them black: no face stands in by chance
// for one that is not there, and none is smoothed to a faint grey.
TEST(WizardFaces, EachLanguagesFaceIsThereHoldsItsLettersAndDrawsBlack) {
  const std::vector<std::pair<TQlntLanguage, std::wstring>> rows = {
      {qlEnglish, L"Next > Cancel"},
      {qlGerman, L"Weiter > \u00FC\u00DF\u00C4"},
      {qlFrench, L"Pr\u00E9c\u00E9dent \u00E8\u00E7"},
      {qlSpanish, L"Atr\u00E1s \u00F1"},
      {qlItalian, L"Indietro \u00E0"},
      {qlPortugese, L"Seguinte \u00E3\u00E7"},
      {qlCzech, L"Dal\u0161\u00ED \u0159\u011B\u016F"},
      {qlDanish, L"N\u00E6ste \u00F8\u00E5"},
      {qlRussian, L"\u0414\u0430\u043B\u0435\u0435 \u041E\u0442\u043C\u0435\u043D\u0430"},   // Далее Отмена
      {qlGreek, L"\u0395\u03C0\u03CC\u03BC\u03B5\u03BD\u03BF \u0386\u03BA\u03C5\u03C1\u03BF"},  // Επόμενο Άκυρο
      {qlVietnamese, L"Ti\u1EBFp \u0110\u01B0\u1EDDng d\u1EABn H\u1EE7y"},                    // Tiếp Đường dẫn Hủy
      {qlJapanese, L"\u6B21\u3078\u30BB\u30C3\u30C8"},                                               // 次へセット
      {qlKorean, L"\uB2E4\uC74C\uC124\uCE58"},                                                      // 다음설치
      {qlChineseSimplified, L"\u4E0B\u4E00\u6B65\u53D6\u6D88"},                                      // 下一步取消
  };
  for (const auto& [lang, own] : rows) {
    const TLanguageFace face = GetLanguageFace(lang);
    SCOPED_TRACE("language " + std::to_string(lang) + ", face " + face.Name);
    LOGFONTW lf{};
    lf.lfCharSet = static_cast<BYTE>(GetAppropriateCharSet(lang));
    wcsncpy(lf.lfFaceName, Widen(face.Name).c_str(), LF_FACESIZE - 1);
    HDC dc = GetDC(nullptr);
    int found = 0;
    EnumFontFamiliesExW(dc, &lf, CountFace, reinterpret_cast<LPARAM>(&found), 0);
    EXPECT_GT(found, 0) << "the face is not there in character set " << int(lf.lfCharSet);
    lf.lfHeight = -MulDiv(face.MinSize, 96, 72);
    HFONT font = CreateFontIndirectW(&lf);
    HGDIOBJ old = SelectObject(dc, font);
    const std::wstring text = L"AZaz09:\\>" + own;
    std::vector<WORD> glyphs(text.size());
    GetGlyphIndicesW(dc, text.c_str(), static_cast<int>(text.size()), glyphs.data(), GGI_MARK_NONEXISTING_GLYPHS);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    std::string missing;
    for (size_t i = 0; i < text.size(); ++i)
      if (glyphs[i] == 0xFFFF && text[i] != L' ') missing += Narrow(text.substr(i, 1)) + " ";
    EXPECT_EQ(missing, "");
    const auto [ink, dark] = InkAndDark(font, text);
    EXPECT_GE(dark * 2, ink) << dark << " of " << ink << " pixels dark";
    DeleteObject(font);
  }
}
