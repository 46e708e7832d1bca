// This setup's install module under Wine: its before-install wizard, the
// Cancel question, the package compile into a faked Delphi 3.0 with the
// stand-in compiler, and the setup-complete page that reports it.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <map>

#include "classlib/Registry.h"
#include "classlib/SysUtils.h"
#include "common/PageRunner.h"
#include "common/TestSupport.h"
#include "engine/cmp_TInstallContainer.h"
#include "engine/routines_BorlandEnvironment.h"
#include "foundation/routines/routines_Registry.h"
#include "foundation/translator/cmp_TTranslator.h"
#include "setup/CompilingForm.h"
#include "setup/GoodInstall.h"
#include "setup/InstallModule.h"
#include "setup/QuillantSplash.h"
#include "wizard/dlgcmp_TBaseContainer.h"

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
  std::string Broadcast(int Code) {
    try {
      IM->Controller()->ExternalComponentCall(IM->Controller(), Code, nullptr);
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
  for (const char* c : {"TBeforeInstallDialog", "TSelectLanguageForm", "TWelcomeForm", "TFileGroupSelectForm"})
    page(c, false);
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
