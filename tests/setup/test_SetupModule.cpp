// This setup's install module under Wine: its before-install wizard, the
// Cancel question, the package compile into a faked Delphi 3.0 with the
// stand-in compiler, and the setup-complete page that reports it.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>

#include "classlib/Registry.h"
#include "classlib/SysUtils.h"
#include "classlib/WinText.h"
#include "common/ForeignWindow.h"
#include "common/PageRunner.h"
#include "common/TestSupport.h"
#include "engine/cmp_TInstall.h"
#include "engine/cmp_TInstallContainer.h"
#include "engine/routines_BorlandEnvironment.h"
#include "foundation/routines/routines_Registry.h"
#include "foundation/translator/cmp_TTranslator.h"
#include "setup/CompilingForm.h"
#include "setup/GoodInstall.h"
#include "setup/InstallModule.h"
#include "setup/QuillantSplash.h"
#include "wizard/PageLooks.h"
#include "wizard/dlgcmp_TBaseContainer.h"
#include "wizard/dlgcmp_TCopyFile.h"
#include "wizard/dlgcmp_TInstallStatusDlg.h"
#include "wizard/ordlg_BadInstallForm.h"
#include "wizard/ordlg_ChangeDisk.h"
#include "wizard/ordlg_FileGroupSelect.h"
#include "wizard/ordlg_SelectFolder.h"
#include "wizard/ordlg_WelcomeDlg.h"
#include "wizard/ordlg_Reboot.h"
#include "wizard/ordlg_SelectLanguage.h"

using namespace testsupport;

namespace {
TBaseInstallForm* CurrentPage() {
  auto* w = PageRunner::ShownForm<TBaseFormContainer>();
  return w ? w->CurrentPage() : nullptr;
}
TWinControl* Button(TComponent* Page, const char* Name) { return dynamic_cast<TWinControl*>(Page->FindComponent(Name)); }
void Picture(const std::string& Name) {
  const char* dir = std::getenv("QNT_SCREENSHOTS");
  if (!dir || !*dir) return;
  Application->ProcessMessages();
  auto* wizard = PageRunner::ShownForm<TBaseFormContainer>();
  EXPECT_TRUE(Screenshot(wizard ? wizard->Handle() : GetActiveWindow(), std::string(dir) + "/" + Name + ".png"))
      << Name;
}

// Windows titled "Compiling" made on this thread while a test runs; with
// RefuseClips, animation controls made then cannot open their clip.
int CompilingWindows = 0;
bool RefuseClips = false;
int RefusedClips = 0;
WNDPROC AnimateProc = nullptr;
LRESULT CALLBACK ClipRefusingProc(HWND W, UINT Msg, WPARAM WP, LPARAM LP) {
  if (Msg == ACM_OPENW || Msg == ACM_OPENA) {
    ++RefusedClips;
    return 0;
  }
  return CallWindowProcW(AnimateProc, W, Msg, WP, LP);
}
LRESULT CALLBACK CountCompiling(int Code, WPARAM W, LPARAM L) {
  if (Code == HCBT_CREATEWND) {
    auto* cs = reinterpret_cast<CBT_CREATEWNDW*>(L)->lpcs;
    if (cs->lpszName && !IS_INTRESOURCE(cs->lpszName) && std::wstring(cs->lpszName) == L"Compiling") ++CompilingWindows;
    wchar_t cls[32] = L"";
    GetClassNameW(reinterpret_cast<HWND>(W), cls, 32);
    if (RefuseClips && std::wstring(cls) == ANIMATE_CLASSW)
      AnimateProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(reinterpret_cast<HWND>(W), GWLP_WNDPROC,
                                                                reinterpret_cast<LONG_PTR>(&ClipRefusingProc)));
  }
  return CallNextHookEx(nullptr, Code, W, L);
}

bool SetupKeyExists(const std::string& Key) {
  TRegistry reg(KEY_READ);
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  return reg.KeyExists(Key);
}

// The visible dialog boxes of process Pid.
struct BoxSearch {
  DWORD Pid;
  HWND Box;
};
BOOL CALLBACK FindProcessBox(HWND W, LPARAM L) {
  auto* s = reinterpret_cast<BoxSearch*>(L);
  DWORD pid = 0;
  wchar_t cls[16] = L"";
  GetWindowThreadProcessId(W, &pid);
  GetClassNameW(W, cls, 16);
  if (pid != s->Pid || !IsWindowVisible(W) || std::wstring(cls) != L"#32770") return TRUE;
  s->Box = W;
  return FALSE;
}
HWND ProcessBox(DWORD Pid) {
  BoxSearch s{Pid, nullptr};
  EnumWindows(FindProcessBox, reinterpret_cast<LPARAM>(&s));
  return s.Box;
}

class SetupModule : public testing::Test {
protected:
  void SetUp() override {
    TForm* main = nullptr;
    Application->CreateForm(main);  // the hidden main form whose activation would start a run
    new TIM(Application);
    ASSERT_NE(IM, nullptr);
    ASSERT_NE(IM->Install1, nullptr);
    Run = new PageRunner(60000);
  }
  void TearDown() override {
    EXPECT_TRUE(Run->Finished()) << Run->Report();
    EXPECT_TRUE(Run->Errors().empty()) << Run->Report();
    delete Run;
    Application->DestroyComponents();
  }
  std::string Broadcast(int Code, TObject* PO = nullptr) {
    try {
      IM->Controller()->ExternalComponentCall(IM->Controller(), Code, PO);
    } catch (const EAIUserAbort&) {
      return "EAIUserAbort";
    } catch (const std::exception& e) {
      return e.what();
    }
    return "";
  }
  PageRunner* Run = nullptr;
};
}  // namespace

// The module as streamed: every component there, fourteen languages with
// the same numbered texts; its wizard before the copy shows splash,
// language, welcome, groups and folder in that order. Cancel asks the
// install's question: No stays, Yes ends the wizard with the user abort.
TEST_F(SetupModule, BeforeInstallWizardInOrderAndTheAbortQuestion) {
  for (const char* name : {"Install1", "MainTranslator", "UninstallEXE2", "gComponents", "gMiscellaneous", "HelpFile",
                           "MainFolder1", "InstallMainLink1", "InstallMainLink2", "DialogManager6", "CopyFileDlg1",
                           "InstallStatusDlg1", "InstallShellLink1", "fordlg_WelcomeDlg_pas"})
    EXPECT_NE(IM->FindComponent(name), nullptr) << name;
  EXPECT_EQ(IM->Controller()->GetDestDir(), GetRVStr(hkLocalMachine, "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                                                 "ProgramFilesDir", "") + "\\Quillant32\\Version25Beta");
  EXPECT_EQ(TSE("Setup complete"), "Setup complete");
  // Every list with texts has the English numbers, each text with the same
  // format placeholders (a page fills in its %d); Hebrew has no list.
  auto numbers = [](const TLanguage* L) {
    std::map<TGlobalId, std::string> n;
    for (int i = 0; i < L->LangStringCount(); ++i) {
      const std::string& t = L->LangString(i)->Text();
      std::string& marks = n[L->LangString(i)->GLID()];
      for (size_t p = t.find('%'); p != std::string::npos && p + 1 < t.size(); p = t.find('%', p + 2))
        marks += t.substr(p, 2);
    }
    return n;
  };
  const auto english = numbers(IM->MainTranslator->lgEnglish());
  EXPECT_EQ(english.size(), 71u);
  EXPECT_EQ(english.at(45), "%d");
  int lists = 0;
  for (int l = 0; l < IM->MainTranslator->LanguageCount(); ++l) {
    const TLanguage* lang = IM->MainTranslator->Language(l);
    if (lang->LangStringCount() == 0) continue;
    ++lists;
    EXPECT_EQ(numbers(lang), english) << lang->GetName();
  }
  EXPECT_EQ(lists, 14);
  EXPECT_EQ(IM->MainTranslator->lgHebrew()->LangStringCount(), 0);
  // A form template of the install dialogs, alike in the three environments.
  auto* welcome = dynamic_cast<TInstallFile*>(IM->FindComponent("fordlg_WelcomeDlg_pas"));
  ASSERT_NE(welcome, nullptr);
  for (TObjectRepositoryEntry* e :
       {welcome->Repository()->Delphi2(), welcome->Repository()->Delphi3(), welcome->Repository()->CBuilder()}) {
    EXPECT_TRUE(e->RegisterIt());
    EXPECT_EQ(e->EntryName() + "|" + e->Page() + "|" + e->EntryType(), "Welcome|Quillant|FormTemplate");
    EXPECT_EQ(e->IconFile(), IM->FindComponent("forbmp_TWelcomeForm_ico"));
  }

  std::vector<std::string> seen;
  int splashSizeAtLeave = 0;
  auto page = [&](const char* Class, bool Last) {
    Run->Step(Class, [Class] { return CurrentPage() && CurrentPage()->ClassName() == Class; },
              [&, Class, Last] {
                seen.push_back(Class);
                Picture(std::string("module-") + Class);
                if (auto* splash = dynamic_cast<TBeforeInstallDialog*>(CurrentPage())) {
                  EXPECT_TRUE(splash->tmQuillant32Label->Enabled());
                  EXPECT_FALSE(splash->BackBtn->Visible());
                  splashSizeAtLeave = splash->TitleSize();
                }
                PageRunner::Click(Button(CurrentPage(), Last ? "CancelBtn" : "ProceedBtn"));
              });
  };
  Run->When("title pulsing", [] {
    auto* splash = dynamic_cast<TBeforeInstallDialog*>(CurrentPage());
    return splash && splash->TitleSize() < 40;
  });
  page("TBeforeInstallDialog", false);
  // Left, the splash page's title holds still; back on it, it pulses again
  // from the size it had.
  TBeforeInstallDialog* splash = nullptr;
  DWORD leftAt = 0;
  Run->Step(
         "splash left", [] { return dynamic_cast<TSelectLanguageForm*>(CurrentPage()); },
         [&] {
           splash = dynamic_cast<TBeforeInstallDialog*>(PageRunner::ShownForm<TBaseFormContainer>()->Pages()[0]);
           leftAt = GetTickCount();
         })
      .Step(
          "back to the splash", [&] { return GetTickCount() - leftAt > 300; },
          [&] {
            EXPECT_FALSE(splash->tmQuillant32Label->Enabled());
            EXPECT_EQ(splash->TitleSize(), splashSizeAtLeave);
            PageRunner::Click(Button(CurrentPage(), "BackBtn"));
          })
      .Step(
          "pulsing again", [&] { return CurrentPage() == splash && splash->TitleSize() != splashSizeAtLeave; },
          [&] {
            EXPECT_TRUE(splash->tmQuillant32Label->Enabled());
            EXPECT_LT(std::abs(splash->TitleSize() - splashSizeAtLeave), 5);
            PageRunner::Click(splash->ProceedBtn);
          });
  for (const char* c : {"TSelectLanguageForm", "TWelcomeForm", "TFileGroupSelectForm"}) page(c, false);
  page("TSelectFolderForm", true);
  Run->Step("No", [] { return PageRunner::MessageBoxWindow() != nullptr; },
            [] {
              HWND box = PageRunner::MessageBoxWindow();
              EXPECT_NE(PageRunner::MessageBoxText(box).find(AbortQuestion), std::string::npos);
              PageRunner::AnswerMessageBox(box, IDNO);
            })
      .Step("Cancel again", [] { return !PageRunner::MessageBoxWindow() && CurrentPage() &&
                                        CurrentPage()->ClassName() == "TSelectFolderForm"; },
            [] { PageRunner::Click(Button(CurrentPage(), "CancelBtn")); })
      .Step("Yes", [] { return PageRunner::MessageBoxWindow() != nullptr; },
            [] { PageRunner::AnswerMessageBox(PageRunner::MessageBoxWindow(), IDYES); });
  EXPECT_EQ(Broadcast(eccBeginningDialogManager), "EAIUserAbort");
  EXPECT_EQ(seen, (std::vector<std::string>{"TBeforeInstallDialog", "TSelectLanguageForm", "TWelcomeForm",
                                             "TFileGroupSelectForm", "TSelectFolderForm"}));
  EXPECT_LT(splashSizeAtLeave, 42);
}

// Every list other than English carries each English text in its own
// language: a text left as the English one is a text the user reads in
// English. Kept English on purpose: the two status texts outside Japanese,
// and the language names, which a list may leave as they are. A few words
// are spelt alike in a language; they are the rows below. A text keeps its
// %d and, where the English one has an accelerator, an accelerator of its own.
// No list holds a text longer than the translator keeps, which would show
// cut off.
TEST_F(SetupModule, EveryListIsWholeInItsLanguage) {
  const std::set<std::pair<TQlntLanguage, TGlobalId>> spelledAlike = {
      {qlFrench, 29},     // "Description"
      {qlSpanish, 33},    // "bytes"
      {qlPortugese, 33},  // "bytes"
  };
  auto texts = [](const TLanguage* L) {
    std::map<TGlobalId, std::string> t;
    for (int i = 0; i < L->LangStringCount(); ++i) t.emplace(L->LangString(i)->GLID(), L->LangString(i)->Text());
    return t;
  };
  auto count = [](const std::string& S, const std::string& What) {
    int n = 0;
    for (size_t p = S.find(What); p != std::string::npos; p = S.find(What, p + What.size())) ++n;
    return n;
  };
  // The letters of a list's line after its number, as the list holds them
  // before the translator keeps its first 255.
  auto listedLetters = [](const std::string& Line) {
    const std::string t = Trim(Line);
    const size_t semi = t.find(';');
    if (t.empty() || t[0] == '*' || semi == std::string::npos) return 0L;
    const std::string text = t.substr(semi + 1, t.find(';', semi + 1) - semi - 1);
    return static_cast<long>(
        std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
  };
  const auto english = texts(IM->MainTranslator->lgEnglish());
  for (int l = 0; l < IM->MainTranslator->LanguageCount(); ++l) {
    const TLanguage* lang = IM->MainTranslator->Language(l);
    std::vector<std::string> bad;
    for (int i = 0; i < lang->Strings()->Count(); ++i)
      if (const long n = listedLetters(lang->Strings()->Get(i)); n > 255)
        bad.push_back("line " + std::to_string(i) + ": " + std::to_string(n) + " letters, the translator keeps 255");
    if (lang->LanguageIdent() == qlEnglish || lang->LanguageIdent() == qlHebrew) {
      EXPECT_TRUE(bad.empty()) << lang->GetName() << ": " << testing::PrintToString(bad);
      continue;
    }
    const auto own = texts(lang);
    for (const auto& [glid, en] : english) {
      const auto it = own.find(glid);
      if (it == own.end()) {
        bad.push_back(std::to_string(glid) + ": missing");
        continue;
      }
      const std::string& t = it->second;
      const bool status = glid == 75 || glid == 76;
      const bool keptEnglish = status && lang->LanguageIdent() != qlJapanese;
      if (keptEnglish && t != en) bad.push_back(std::to_string(glid) + ": not the English text");
      if (t == en && !keptEnglish && !(glid >= 63 && glid <= 70) && !spelledAlike.count({lang->LanguageIdent(), glid}))
        bad.push_back(std::to_string(glid) + ": English \"" + en + "\"");
      if (count(t, "%d") != count(en, "%d")) bad.push_back(std::to_string(glid) + ": %d lost or added");
      if ((count(en, "&") > 0) != (count(t, "&") == 1)) bad.push_back(std::to_string(glid) + ": accelerator");
    }
    EXPECT_TRUE(bad.empty()) << lang->GetName() << ": " << testing::PrintToString(bad);
  }
}

// Every page and window of this setup in each of its fourteen languages, as
// a user of that language sees it: each text fits its control and runs into
// no other, each control lies inside its window, no two share an Alt key.
// A picture of each lands in the build's look-pictures folder, one folder
// per language.
struct LookLanguage {
  TQlntLanguage Lang;
  const char* Tag;
};
void PrintTo(const LookLanguage& L, std::ostream* Out) { *Out << L.Tag; }
class SetupLooks : public SetupModule, public testing::WithParamInterface<LookLanguage> {};

TEST_P(SetupLooks, EveryPageFits) {
  const std::string pictures = BinDir() + "\\..\\look-pictures\\" + GetParam().Tag;
  RemoveTree(pictures);
  ForceDirectories(pictures);
  // The wizard opens in another language; the language page switches it.
  IM->MainTranslator->SetTranslateIntoLanguage(GetParam().Lang == qlEnglish ? qlFrench : qlEnglish);
  std::vector<std::string> bad;
  auto look = [&](TForm* Whole, const std::string& Name) {
    const std::string m = pagelooks::Looks(Whole);
    if (!m.empty()) bad.push_back(Name + ": " + m);
    EXPECT_TRUE(Screenshot(Whole->Handle(), UnixPathOf(pictures) + "/" + Name + ".png")) << Name;
  };
  auto lookAndGo = [&]<class F>(F*, const std::string& Name) {
    Run->Step(Name, [] { return pagelooks::ShownPage<F>() && pagelooks::Settled(pagelooks::ShownPage<F>()); },
              [&look, Name] {
                F* f = pagelooks::ShownPage<F>();
                TForm* whole = PageRunner::ShownForm<TBaseFormContainer>();
                look(whole ? whole : f, Name);
                PageRunner::Click(pagelooks::GoOn(f));
              });
  };
  lookAndGo(static_cast<TBeforeInstallDialog*>(nullptr), "splash");
  // The language chosen as a user chooses it: the wizard opens in another
  // one, and the language's flag is clicked on the language page.
  auto languagePage = [] {
    auto* p = pagelooks::ShownPage<TSelectLanguageForm>();
    return p && pagelooks::Settled(p) ? p : nullptr;
  };
  const TQlntLanguage lang = GetParam().Lang;
  Run->Step("flag", [languagePage] { return languagePage() != nullptr; },
            [languagePage, lang] { EXPECT_TRUE(pagelooks::ClickLanguage(languagePage(), lang)); })
      .When("switched", [languagePage, lang] {  // the grid is enabled again once every page has switched
        return IM->MainTranslator->TranslateIntoLanguage() == lang && languagePage() &&
               languagePage()->LanguageGrid->Enabled();
      });
  lookAndGo(static_cast<TSelectLanguageForm*>(nullptr), "select_language");
  lookAndGo(static_cast<TWelcomeForm*>(nullptr), "welcome");
  lookAndGo(static_cast<TFileGroupSelectForm*>(nullptr), "file_groups");
  lookAndGo(static_cast<TSelectFolderForm*>(nullptr), "select_folder");
  EXPECT_EQ(Broadcast(eccBeginningDialogManager), "");

  auto* copy = dynamic_cast<TCopyFileDlg*>(IM->FindComponent("CopyFileDlg1"));
  ASSERT_NE(copy, nullptr);
  TFileStatusParameter fs;
  fs.FileName = "Qlnt32.hlp";
  fs.FileComplete = 40;
  fs.TotalComplete = 10;
  EXPECT_EQ(Broadcast(eccCopyingFile, &fs), "");
  look(copy->Form(), "copy_progress");
  EXPECT_EQ(Broadcast(eccDoneCopyingFiles), "");
  auto* status = dynamic_cast<TInstallStatusDlg*>(IM->FindComponent("InstallStatusDlg1"));
  ASSERT_NE(status, nullptr);
  for (const auto& [text, name] : {std::pair{"Reading file information...", "install_status_reading"},
                                   std::pair{"Logging onto remote server", "install_status_logging"}}) {
    IM->Controller()->DisplayMessage(text);
    look(status->Form(), name);
    IM->Controller()->HideMessage();
  }

  lookAndGo(static_cast<TChangeDiskForm*>(nullptr), "change_disk");
  TDiskParameter disk;
  disk.Disk = 2;
  disk.SourceDir = "C:\\Setup";
  TEventParameterList list;
  list.Items = {IM->HelpFile, &disk};
  EXPECT_EQ(Broadcast(eccChangeDiskManager, &list), "");
  lookAndGo(static_cast<TRebootForm*>(nullptr), "reboot");
  EXPECT_EQ(Broadcast(eccShutDownDialog), "");
  lookAndGo(static_cast<TBadInstallForm*>(nullptr), "setup_incomplete");
  EXPECT_EQ(Broadcast(eccBadInstallDialogManager), "");
  lookAndGo(static_cast<TGoodInstallForm*>(nullptr), "setup_complete");
  EXPECT_EQ(Broadcast(eccGoodInstallDialogManager), "");
  EXPECT_TRUE(bad.empty()) << testing::PrintToString(bad);
}

INSTANTIATE_TEST_SUITE_P(EveryLanguage, SetupLooks,
                         testing::Values(LookLanguage{qlEnglish, "English"}, LookLanguage{qlGerman, "German"},
                                         LookLanguage{qlFrench, "French"}, LookLanguage{qlSpanish, "Spanish"},
                                         LookLanguage{qlItalian, "Italian"}, LookLanguage{qlJapanese, "Japanese"},
                                         LookLanguage{qlCzech, "Czech"}, LookLanguage{qlDanish, "Danish"},
                                         LookLanguage{qlPortugese, "Portuguese"},
                                         LookLanguage{qlChineseSimplified, "ChineseSimplified"},
                                         LookLanguage{qlGreek, "Greek"}, LookLanguage{qlKorean, "Korean"},
                                         LookLanguage{qlVietnamese, "Vietnamese"}, LookLanguage{qlRussian, "Russian"}),
                         [](const testing::TestParamInfo<LookLanguage>& I) { return std::string(I.param.Tag); });

// After the copy: without Delphi 3.0 nothing is compiled and no compiling
// window shows, yet the help is linked into C++Builder 1.0; with it the
// stand-in compiler's exit code decides whether the package is registered,
// and the setup-complete page tells which; a compiling window whose
// animation cannot be opened changes nothing. The package's old palette
// pages go. Finish starts Delphi 3.0 when it is there. An aborted copy does
// none of it.
TEST_F(SetupModule, PackageCompileAndTheCompletePage) {
  struct Case {
    const char* Name;
    bool Delphi3;
    int ExitCode;
    bool Aborted;
    bool NoClip;
    bool Installed;
    const char* Panel;
  };
  const Case cases[] = {
      {"no Delphi 3", false, 0, false, false, false, "Delphi2Good"},
      {"compiled", true, 0, false, false, true, "Delphi3Good"},
      {"compile failed", true, 1, false, false, false, "Delphi3Bad"},
      {"copy aborted", true, 0, true, false, false, nullptr},
      {"no animation", true, 0, false, true, true, nullptr},
  };
  const char* const tabs[] = {"Quillant", "QuillantTools", "QlntDialogs", "Samples"};
  const HHOOK hook = SetWindowsHookExW(WH_CBT, CountCompiling, nullptr, GetCurrentThreadId());
  const std::string dest = IM->Controller()->GetDestDir();
  ForceDirectories(dest);
  WriteFileText(dest + "\\Qlnt32.dpk", "package Qlnt32;\r\nend.\r\n");
  const std::string known = "\\Software\\Borland\\Delphi\\3.0\\Known Packages";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string top = ScratchDir("qsetup");
    const std::string bcb = top + "\\CBuilder", d3 = top + "\\Delphi 3";
    ForceDirectories(bcb + "\\BIN");
    ForceDirectories(bcb + "\\HELP");
    WriteFileText(bcb + "\\BIN\\BCB.EXE", "");
    WriteFileText(bcb + "\\HELP\\BCB.CNT", ":Base bcb.hlp\r\n");
    WriteRVStr(hkLocalMachine, "\\Software\\Borland\\C++Builder\\1.0", "RootDir", bcb);
    if (c.Delphi3) {
      ForceDirectories(d3 + "\\HELP");
      ForceDirectories(d3 + "\\BIN");
      CopyProgram("qnt_stub_tool.exe", d3 + "\\BIN", "DCC32.EXE");
      CopyProgram("qnt_stub_tool.exe", d3 + "\\BIN", "DELPHI32.EXE");
      WriteFileText(d3 + "\\BIN\\DCC32.EXIT", IntToStr(c.ExitCode));
      WriteRVStr(hkLocalMachine, "\\Software\\Borland\\Delphi\\3.0", "RootDir", d3);
      WriteRVStr(hkCurrentUser, "\\Software\\Borland\\Delphi\\3.0\\Library", "SearchPath", top);
      for (const char* key : {"Palette", "Palette Defaults"})
        for (const char* tab : tabs) WriteRVStr(hkCurrentUser, "\\Software\\Borland\\Delphi\\3.0\\" + std::string(key), tab, "x");
    }
    CompilingWindows = RefusedClips = 0;
    RefuseClips = c.NoClip;
    PackageInstalled = true;  // the start of the run clears it
    IM->Install1StartInstall(nullptr);
    EXPECT_FALSE(PackageInstalled);
    IM->Install1CloseCopyFileDlg(IM->Controller(), c.Aborted);
    EXPECT_EQ(PackageInstalled, c.Installed);
    EXPECT_EQ(CompilingWindows, c.Delphi3 && !c.Aborted ? 1 : 0);
    EXPECT_EQ(FileExists(d3 + "\\BIN\\DCC32.LOG"), c.Delphi3 && !c.Aborted);
    EXPECT_EQ(GetRVStr(hkCurrentUser, known, dest + "\\Qlnt32.DPL", "(none)"),
              c.Installed ? "Quillant Installation Components" : "(none)");
    EXPECT_EQ(ReadLines(bcb + "\\HELP\\BCB.CNT").size(), c.Aborted ? 1u : 2u);
    EXPECT_EQ(RefusedClips > 0, c.NoClip);
    if (c.Delphi3)
      for (const char* key : {"Palette", "Palette Defaults"}) {
        std::string left;
        for (const char* tab : tabs)
          if (!GetRVStr(hkCurrentUser, "\\Software\\Borland\\Delphi\\3.0\\" + std::string(key), tab, "").empty())
            left += std::string(tab) + " ";
        EXPECT_EQ(left, c.Aborted ? "Quillant QuillantTools QlntDialogs Samples " : "Samples ") << key;
      }

    if (c.Panel) {
      Run->Step(std::string("complete page: ") + c.Name, [] { return dynamic_cast<TGoodInstallForm*>(CurrentPage()); },
                [&c] {
                  auto* p = dynamic_cast<TGoodInstallForm*>(CurrentPage());
                  for (TPanel* panel : {p->Delphi2Good, p->Delphi3Bad, p->Delphi3Good})
                    EXPECT_EQ(panel->Visible(), panel->Name() == c.Panel) << panel->Name();
                  EXPECT_FALSE(p->BackBtn->Visible());
                  EXPECT_FALSE(p->ProceedBtn->Visible());
                  EXPECT_TRUE(p->FinishBtn->Visible());
                  if (p->Delphi3Bad->Visible()) {
                    EXPECT_EQ(FindChild<TLabel>(p, "Delphi3BadLabel1")->Caption(),
                              "To install the components into Delphi 3.0, you need to perform the following steps:");
                  }
                  Picture(std::string("complete-") + c.Panel);
                  PageRunner::Click(p->FinishBtn);
                });
      EXPECT_EQ(Broadcast(eccGoodInstallDialogManager), "");
      if (c.Delphi3) {
        for (int i = 0; i < 200 && !FileExists(d3 + "\\BIN\\DELPHI32.LOG"); ++i) Sleep(50);
        EXPECT_EQ(ReadLines(d3 + "\\BIN\\DELPHI32.LOG").size(), 2u);
      }
    }
    DeleteKey(hkLocalMachine, "\\Software\\Borland");
    DeleteKey(hkCurrentUser, "\\Software\\Borland");
    RemoveTree(top);
  }
  UnhookWindowsHookEx(hook);
  EXPECT_EQ(TGoodInstallForm::Delphi32Command("C:\\Program Files\\Borland\\Delphi 3\\BIN"),
            "\"C:\\Program Files\\Borland\\Delphi 3\\BIN\\Delphi32.EXE\"");
}

namespace {
// A stand-in for the WinHelp viewer's window: what the WinHelp call hands
// it (the help file and the command), as bytes.
std::string ViewerGot;
LRESULT CALLBACK ViewerProc(HWND W, UINT Msg, WPARAM WP, LPARAM LP) {
  if (Msg == WM_COPYDATA) {
    auto* cd = reinterpret_cast<COPYDATASTRUCT*>(LP);
    if (cd->dwData == 0xA1DE505 && cd->lpData) ViewerGot.assign(static_cast<const char*>(cd->lpData), cd->cbData);
    return TRUE;
  }
  return DefWindowProcW(W, Msg, WP, LP);
}
// The WinHelp viewer window of another process, and that process's program.
HWND OtherViewer(std::string* Program = nullptr) {
  for (HWND w = FindWindowW(L"MS_WINHELP", nullptr); w; w = FindWindowExW(nullptr, w, L"MS_WINHELP", nullptr)) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid == GetCurrentProcessId()) continue;
    if (Program) {
      HANDLE p = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
      wchar_t name[MAX_PATH] = L"";
      DWORD n = MAX_PATH;
      if (p && QueryFullProcessImageNameW(p, 0, name, &n)) *Program = LowerCase(Narrow(std::wstring(name, n)));
      if (p) CloseHandle(p);
    }
    return w;
  }
  return nullptr;
}
}  // namespace

namespace {
// A setup author's own closing page, as the guide writes one: a page form
// registered for the after-good-install manager that overrides nothing of
// how it closes. It shows a Cancel button, though after the install there
// is nothing left to abort.
class TAuthorDonePage : public TBaseInstallForm {
  QNT_PUBLISHED(TAuthorDonePage, TBaseInstallForm)
public:
  explicit TAuthorDonePage(TComponent* AOwner) : TBaseInstallForm(AOwner) {
    auto* cancel = new TButton(this);
    cancel->SetName("CancelBtn");
    cancel->SetParent(this);
    cancel->SetCancel(true);
    cancel->SetCaption("Cancel");
    cancel->OnClick = [this](TObject*) { TryCancel(); };
    Loaded();
    SetDM(LinkToManager(dmAfterGoodInstall));
    SetOrder(20);
  }
};
QNT_PUBLISH(TAuthorDonePage);

bool ContinuationRegistered() { return GetRVStr(hkLocalMachine, RunOnceKey, ContinuationValueName, "") != ""; }
}  // namespace

// The pages that cannot abort take the window's close command as their
// Finish (Next when they are not last): no question, and the run ends as
// Finish ends it. That holds for this setup's pages without a Cancel button
// (setup complete, setup incomplete, reboot) and for a page of an author's
// own after the install, whatever buttons it shows. A run after the restart
// with its setup-complete page and the author's page closed removes the
// setup key and shows no setup-incomplete page; an aborted run whose
// setup-incomplete page is closed removes the key too; the reboot page
// closed, on either choice, leaves Reboot as its radio group shows it, and
// the continuation after the restart and the setup key stay. The
// setup-complete page's help button hands the installed help file to the
// WinHelp viewer at its contents, and Wine's viewer starts for it.
TEST_F(SetupModule, PagesWithoutCancelFinishOnClose) {
  TInstall* install = IM->Install1;
  install->SetRunAutomatic(false);  // the test program goes on after each run
  install->SetOnCleanup([](TObject*, bool& GoOn) { GoOn = false; });
  InstallParams = [] { return std::vector<std::string>{"*ABOOT", "*NOSELFEXTRACT", "setup.exe", "C:\\dist"}; };
  bool asked = false;
  int rebootChoice = 1;
  // After the close command: the page goes, or the question shows (answered
  // Yes, as a user who meant Finish would).
  auto closeAndWatch = [&](const std::string& Name) {
    Run->Step(
           "close " + Name, [] { return CurrentPage() != nullptr; },
           [&rebootChoice] {
             if (auto* reboot = dynamic_cast<TRebootForm*>(CurrentPage())) reboot->RG->SetItemIndex(rebootChoice);
             PageRunner::CloseCommand(PageRunner::ShownForm<TBaseFormContainer>());
           })
        .Step(
            Name + " closed",
            [] { return PageRunner::MessageBoxWindow() || !PageRunner::ShownForm<TBaseFormContainer>(); },
            [&asked] {
              if (HWND box = PageRunner::MessageBoxWindow()) {
                asked = true;
                PageRunner::AnswerMessageBox(box, IDYES);
              }
            });
  };
  std::vector<std::string> pages;
  install->SetOnShowBadInstall([&pages](TObject*) { pages.push_back("incomplete"); });

  // The run after the restart: the setup-complete page, its help, closed:
  // it is not last, so it goes on to the author's page, closed too.
  TBIFEntry* authorPage = AddToBIFList(&TAuthorDonePage::StaticClassInfo(), nullptr, nullptr);
  UniqueInstallKey = install->GetUniqueInstallKey(true);
  ASSERT_TRUE(SetupKeyExists(UniqueInstallKey));
  const std::string helpFile = IM->HelpFile->GetDestFile();
  WNDCLASSW wc{};
  wc.lpfnWndProc = ViewerProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"MS_WINHELP";
  RegisterClassW(&wc);
  HWND standIn = CreateWindowW(L"MS_WINHELP", L"", 0, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
  std::string viewer;
  Run->Step(
         "help", [] { return dynamic_cast<TGoodInstallForm*>(CurrentPage()); },
         [] { PageRunner::Click(dynamic_cast<TGoodInstallForm*>(CurrentPage())->HelpBTN); })
      .Step(
          "help again", [] { return !ViewerGot.empty(); },
          [&] {
            EXPECT_EQ(Application->HelpFile(), helpFile);
            EXPECT_NE(ViewerGot.find(helpFile + '\0'), std::string::npos);
            EXPECT_NE(ViewerGot.find("JI(`',`Contents')"), std::string::npos);
            DestroyWindow(standIn);
            PageRunner::Click(dynamic_cast<TGoodInstallForm*>(CurrentPage())->HelpBTN);
          })
      .Step(
          "viewer started", [&] { return OtherViewer(&viewer) != nullptr; },
          [&] {
            EXPECT_NE(viewer.find("winhlp32.exe"), std::string::npos) << viewer;
            PostMessageW(OtherViewer(), WM_CLOSE, 0, 0);
          })
      .When("viewer closed", [] { return OtherViewer() == nullptr; })
      .Step(
          "close setup complete", [] { return dynamic_cast<TGoodInstallForm*>(CurrentPage()); },
          [] { PageRunner::CloseCommand(PageRunner::ShownForm<TBaseFormContainer>()); });
  Run->When("the author's page", [] {
    return PageRunner::MessageBoxWindow() || dynamic_cast<TAuthorDonePage*>(CurrentPage());
  });
  closeAndWatch("the author's page");
  EXPECT_NO_THROW(install->FinishInstall());
  RemoveBIFEntry(authorPage);
  EXPECT_FALSE(asked);
  EXPECT_FALSE(SetupKeyExists(UniqueInstallKey));
  EXPECT_TRUE(pages.empty());

  // A run that the user aborted: its setup-incomplete page, closed.
  UniqueInstallKey = install->GetUniqueInstallKey(true);
  install->SetOnShowGoodInstall([](TObject*) { throw EAIUserAbort(); });
  EXPECT_THROW(install->FinishInstall(), EAIUserAbort);
  ASSERT_TRUE(install->Installing());
  closeAndWatch("setup incomplete");
  EAIUserAbort abort;
  install->AppException(nullptr, &abort);
  EXPECT_FALSE(asked);
  EXPECT_FALSE(SetupKeyExists(UniqueInstallKey));
  EXPECT_EQ(pages, std::vector<std::string>{"incomplete"});

  // The end of a run that needs a restart: the continuation registered, the
  // reboot page closed on each choice, and the restart (replaced here) asked
  // for exactly when Reboot is still set.
  static int restarts = 0;
  bool (*const restart)() = SystemRestart;
  SystemRestart = [] {
    ++restarts;
    return true;
  };
  for (int choice : {0, 1}) {
    SCOPED_TRACE(choice == 0 ? "Yes, reboot" : "No reboot");
    rebootChoice = choice;
    restarts = 0;
    UniqueInstallKey = install->GetUniqueInstallKey(true);
    install->AddInstallStartUp();
    Reboot = true;
    closeAndWatch("reboot");
    EXPECT_EQ(Broadcast(eccShutDownDialog), "");
    if (Reboot) install->RebootWindows();
    EXPECT_FALSE(asked);
    EXPECT_EQ(Reboot, choice == 0);
    EXPECT_EQ(restarts, choice == 0 ? 1 : 0);
    EXPECT_TRUE(ContinuationRegistered());
    EXPECT_TRUE(SetupKeyExists(UniqueInstallKey));
    TRegistry reg;
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    if (reg.OpenKey(RunOnceKey, false)) reg.DeleteValue(ContinuationValueName);
    install->DeleteUniqueInstallKey();
  }
  SystemRestart = restart;
  Reboot = false;
  InstallParams = ProgramParams;
}

// Whatever fails in the package compile is swallowed: the install goes on,
// and the setup-complete page says the package is not installed.
TEST_F(SetupModule, EveryCompileErrorIsSwallowed) {
  class TFailingInstall : public TInstall {
  public:
    using TInstall::TInstall;
    std::string GetDestDir() override { throw 42; }  // an error of no exception class
  };
  const std::string top = ScratchDir("qsetup");
  ForceDirectories(top + "\\Delphi 3\\BIN");
  WriteFileText(top + "\\Delphi 3\\BIN\\DELPHI32.EXE", "");
  WriteRVStr(hkLocalMachine, "\\Software\\Borland\\Delphi\\3.0", "RootDir", top + "\\Delphi 3");
  IM->Install1StartInstall(nullptr);
  TInstallObject* mainInstall = MainInstall;
  TInstall* real = IM->Install1;
  real->SetName("Install1Real");
  MainInstall = nullptr;  // one controller at a time
  auto* failing = new TFailingInstall(IM);
  failing->SetName("Install1");  // the handler looks its controller up by name
  EXPECT_NO_THROW(IM->Install1CloseCopyFileDlg(failing, false));
  EXPECT_FALSE(PackageInstalled);
  delete failing;
  MainInstall = mainInstall;
  real->SetName("Install1");
  IM->Install1 = real;
  DeleteKey(hkLocalMachine, "\\Software\\Borland");
  RemoveTree(top);
}

// A setup program whose start fails shows why, and stays until the message
// is answered; then it ends with exit code 1. A module with a typo names the
// module's file as the build names it, the line and the component; a run
// after the restart without its arguments says what is missing.
TEST(SetupStart, ErrorIsShownUntilAnswered) {
  struct Case {
    const char* Arguments;
    const char* Text;
  } cases[] = {
      {"", "Error reading tests/setup/bad_module.txt (TBADMODULE), line 5, component Group1: "
           "Class TInstalFileGroup not found"},
      {" *ABOOT", "The self-extract parameter was not found"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Arguments);
    TChildProcess p("\"" + BinDir() + "\\qnt_bad_module.exe\"" + c.Arguments);
    ASSERT_TRUE(p.Started());
    HWND box = nullptr;
    for (int i = 0; i < 300 && !(box = ProcessBox(p.Pid())); ++i) Sleep(100);
    ASSERT_NE(box, nullptr) << "no message box";
    if (const char* dir = std::getenv("QNT_SCREENSHOTS"); dir && *dir)
      Screenshot(box, std::string(dir) + (*c.Arguments ? "/start-up-error-aboot.png" : "/start-up-error-typo.png"));
    EXPECT_NE(StaticTexts(box).find(c.Text), std::string::npos) << StaticTexts(box);
    // The box stays until it is answered.
    Sleep(1000);
    EXPECT_TRUE(IsWindowVisible(box));
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(p.Wait(30000), 1);
  }
}
