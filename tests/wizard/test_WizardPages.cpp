// The wizard window, the dialog managers and the pages, driven through real
// window messages inside their modal loops.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

// The controller and the version unit beside every page: a setup module's
// file includes them together.
#include "engine/cmp_TInstall.h"
#include "foundation/archive/cmp_TVersion.h"
#include "wizard/PageLooks.h"
#include "wizard/WizardFixture.h"
#include "wizard/dlgcmp_TBadInstallationDlg.h"
#include "wizard/dlgcmp_TCopyFile.h"
#include "wizard/dlgcmp_TInstallFileGroup.h"
#include "wizard/dlgcmp_TInstallStatusDlg.h"
#include "wizard/dlgcmp_TReboot.h"
#include "wizard/dlgcmp_TSelectFolder.h"
#include "wizard/dlgcmp_TSelectLanguage.h"
#include "wizard/dlgcmp_TWelcomeDlg.h"

using testsupport::PageRunner;

namespace {
template <class F>
F* Current() {
  TBaseFormContainer* w = PageRunner::ShownForm<TBaseFormContainer>();
  return w ? dynamic_cast<F*>(w->CurrentPage()) : nullptr;
}
bool Visible(TControl* C) { return C && C->Visible(); }

// Each showing of a spy page: its component's name and the buttons it shows,
// "B[BF]" for Back and Finish; a "!" when its manager was not the current one.
std::vector<std::string> SpyLog;
// The spy pages left (Leave), by their component's name.
std::vector<std::string> LeaveLog;
// "OnDestroy" and "destructor" of spy forms, in the order they ran.
std::vector<std::string> DestroyLog;

std::string Joined(const std::vector<std::string>& Items) {
  std::string s;
  for (const std::string& i : Items) s += (s.empty() ? "" : " ") + i;
  return s;
}

// A wizard page that only shows its buttons as a page does and logs itself;
// its component says whether it is passed over.
class TSpyForm : public TBaseInstallForm {
  QNT_PUBLISHED(TSpyForm, TBaseInstallForm)
public:
  explicit TSpyForm(TComponent* AOwner) : TBaseInstallForm(AOwner) {
    RegisterHandler("BackBtnClick", this, &TSpyForm::BackBtnClick);
    RegisterHandler("NextBtnClick", this, &TSpyForm::NextBtnClick);
    RegisterHandler("CancelBtnClick", this, &TSpyForm::CancelBtnClick);
    ReadForm("TSpyForm");
    for (auto [b, name] : {std::pair{&BackBtn, "BackBtn"}, {&NextBtn, "NextBtn"}, {&FinishBtn, "FinishBtn"}})
      *b = FindChild<TButton>(this, name);
    OnDestroy = [](TObject*) { DestroyLog.push_back("OnDestroy"); };
  }
  ~TSpyForm() override { DestroyLog.push_back("destructor"); }
  bool Skip() override;
  void Leave() override { LeaveLog.push_back(DC() ? DC()->Name() : "?"); }
  void RefreshInformation() override;
  void RefreshButtons() {
    BackBtn->SetVisible(!IsFirst());
    NextBtn->SetVisible(!IsLast());
    FinishBtn->SetVisible(IsLast());
    std::string s = DC() ? DC()->Name() : "?";
    s += "[" + std::string(BackBtn->Visible() ? "B" : "") + (NextBtn->Visible() ? "N" : "") +
         (FinishBtn->Visible() ? "F" : "") + "]";
    if (!DC() || CurrentDM != DC()->DialogManager()) s += "!";
    SpyLog.push_back(s);
  }
  TButton* BackBtn = nullptr;
  TButton* NextBtn = nullptr;
  TButton* FinishBtn = nullptr;

private:
  void BackBtnClick(TObject*) { Previous(); }
  void NextBtnClick(TObject*) { Next(); }
  void CancelBtnClick(TObject*) { TryCancel(); }
};
QNT_PUBLISH(TSpyForm);

class TSpyDlg : public TBaseInstallDlg {
  QNT_PUBLISHED(TSpyDlg, TBaseInstallDlg)
public:
  explicit TSpyDlg(TComponent* AOwner) : TBaseInstallDlg(AOwner) {
    RegisterPage(&TSpyForm::StaticClassInfo(), dmBeforeInstall, 0, 0);
  }
  TFormClass GetDialogClassType() override { return &TSpyForm::StaticClassInfo(); }
  bool Skips = false;
  bool ShowsCancel = true;
};
QNT_PUBLISH(TSpyDlg);

void TSpyForm::RefreshInformation() {
  auto* d = dynamic_cast<TSpyDlg*>(DC());
  FindChild<TButton>(this, "CancelBtn")->SetVisible(!d || d->ShowsCancel);
  RefreshButtons();
}

bool TSpyForm::Skip() {
  auto* d = dynamic_cast<TSpyDlg*>(DC());
  return d && d->Skips;
}

// Clicks the button of the current spy page that Key names: Back, Next,
// Finish or Cancel.
void ClickSpy(char Key) {
  auto* p = Current<TSpyForm>();
  ASSERT_NE(p, nullptr);
  TButton* b = Key == 'B' ? p->BackBtn : Key == 'N' ? p->NextBtn : Key == 'F' ? p->FinishBtn : p->CancelButton();
  ASSERT_TRUE(b && b->Visible()) << Key;
  PageRunner::Click(b);
}
}  // namespace

using WizardPages = WizardFixture;

// Select language (0), welcome (10) and a reboot page (20) in one wizard:
// shown in Order, Back and Next/Finish as the place asks, Finish closes it.
TEST_F(WizardPages, BeforeInstallWizardRunsItsPagesInOrder) {
  TDialogManager* dm = Manager(dmBeforeInstall);
  auto* reboot = Page<TRebootDlg>("Reboot1", dm);
  reboot->SetOrder(20);
  Page<TWelcomeDlg>("Welcome1", dm);
  Page<TSelectLanguageDlg>("Language1", dm);
  Page<TBadInstallationDlg>("Bad1", Manager(dmAfterBadInstall));  // another manager's page
  std::vector<std::string> seen;
  Run->Step("language page", [] { return Current<TSelectLanguageForm>() != nullptr; },
            [&] {
              auto* p = Current<TSelectLanguageForm>();
              seen.push_back("language");
              EXPECT_FALSE(Visible(p->BackBtn));
              EXPECT_EQ(Wizard()->Pages().size(), 3u);
              PageRunner::Click(p->ProceedBtn);
            })
      .Step("welcome page", [] { return Current<TWelcomeForm>() != nullptr; },
            [&] {
              auto* p = Current<TWelcomeForm>();
              seen.push_back("welcome");
              EXPECT_TRUE(Visible(p->BackBtn));
              EXPECT_EQ(Wizard()->Caption(), "Welcome");
              PageRunner::Click(p->ProceedBtn);
            })
      .Step("reboot page", [] { return Current<TRebootForm>() != nullptr; },
            [&] {
              auto* p = Current<TRebootForm>();
              seen.push_back("reboot");
              EXPECT_TRUE(Visible(p->FinishBtn));
              EXPECT_FALSE(Visible(p->ProceedBtn));
              PageRunner::Click(p->FinishBtn);
            });
  EXPECT_EQ(Broadcast(eccBeginningDialogManager), "");
  EXPECT_EQ(seen, (std::vector<std::string>{"language", "welcome", "reboot"}));
  EXPECT_EQ(PageRunner::ShownForm<TBaseFormContainer>(), nullptr);
  EXPECT_EQ(CancelAsked, 0);
}

// The wizard window through the spy pages' own buttons: the exchange sort
// of equal orders, a skipping first page, skipping pages at the end, and
// Cancel; the manager is the current one while its pages show.
TEST_F(WizardPages, NavigationOverOrdersAndSkippingPages) {
  struct Spy {
    const char* Name;
    int Order;
    bool Skips;
  };
  struct Row {
    std::vector<Spy> Pages;  // in registration order
    const char* Clicks;
    const char* Log;
    const char* Result;
    const char* Left;  // the pages left, by Back, Next or the wizard's end
  } rows[] = {
      // A stable sort would show C, A, B.
      {{{"A", 2, false}, {"B", 2, false}, {"C", 1, false}}, "NNBNF", "C[N] B[BN] A[BF] B[BN] A[BF]", "", "C B A B A"},
      // The first page that shows is first: no Back there.
      {{{"P0", 0, true}, {"P1", 1, false}, {"P2", 2, false}}, "NBNF", "P1[N] P2[BF] P1[N] P2[BF]", "", "P1 P2 P1 P2"},
      // Only skipping pages follow: Next (not Finish) shows the page again and ends.
      {{{"P0", 0, false}, {"P1", 1, false}, {"P2", 2, true}, {"P3", 3, true}},
       "NN",
       "P0[N] P1[BN] P1[BN]",
       "",
       "P0 P1"},
      {{{"P0", 0, false}, {"P1", 1, false}}, "NC", "P0[N] P1[BF]", "EAIUserAbort", "P0 P1"},
  };
  for (const Row& row : rows) {
    SpyLog.clear();
    LeaveLog.clear();
    TDialogManager* dm = Manager(dmBeforeInstall);
    std::vector<TSpyDlg*> pages;
    for (const Spy& spy : row.Pages) {
      pages.push_back(Page<TSpyDlg>(spy.Name, dm));
      pages.back()->SetOrder(spy.Order);
      pages.back()->Skips = spy.Skips;
    }
    for (size_t i = 0; row.Clicks[i]; ++i)
      Run->Step(std::string(row.Log) + ", click " + row.Clicks[i],
                [i] { return Wizard() != nullptr && SpyLog.size() == i + 1; },
                [c = row.Clicks[i]] { ClickSpy(c); });
    EXPECT_EQ(Broadcast(eccBeginningDialogManager), row.Result) << row.Log;
    EXPECT_EQ(Joined(SpyLog), row.Log);
    EXPECT_EQ(Joined(LeaveLog), row.Left) << row.Log;
    EXPECT_EQ(CurrentDM, nullptr);
    for (TSpyDlg* p : pages) delete p;
    delete dm;
  }
}

// Each wizard manager runs its own pages on its own code; the others show
// nothing.
TEST_F(WizardPages, ManagersRunTheirOwnPages) {
  for (auto [type, name] : {std::pair{dmBeforeInstall, "Before"}, {dmAfterGoodInstall, "Good"},
                            {dmAfterBadInstall, "Bad"}, {dmDuringCopyFiles, "Copy"}, {dmChangeDisk, "Disk"},
                            {dmReboot, "Reboot"}})
    Page<TSpyDlg>(name, Manager(type));
  const std::pair<int, const char*> rows[] = {
      {eccBeginningDialogManager, "Before[F]"}, {eccGoodInstallDialogManager, "Good[F]"},
      {eccBadInstallDialogManager, "Bad[F]"},   {eccShutDownDialog, "Reboot[F]"},
      {eccDoneCopyingFiles, ""},                {eccChangeDiskManager, ""},
      {eccWelcomeDialog, ""},
  };
  for (auto [code, log] : rows) {
    SpyLog.clear();
    if (*log) Run->Step(log, [] { return Wizard() != nullptr && !SpyLog.empty(); }, [] { ClickSpy('F'); });
    EXPECT_EQ(Broadcast(code), "") << code;
    EXPECT_EQ(Joined(SpyLog), log) << code;
    EXPECT_EQ(CurrentDM, nullptr);
  }
}

// Cancel asks the controller: No keeps the wizard, Yes ends the run with the
// user abort.
TEST_F(WizardPages, CancelAnsweredNoThenYes) {
  TDialogManager* dm = Manager(dmBeforeInstall);
  Page<TWelcomeDlg>("Welcome1", dm);
  CancelAnswers = {false, true};
  Run->Step("cancel, no", [] { return Current<TWelcomeForm>() != nullptr; },
            [] { PageRunner::Click(Current<TWelcomeForm>()->CancelBtn); })
      .Step("cancel, yes", [this] { return CancelAsked == 1 && Current<TWelcomeForm>() != nullptr; },
            [] { PageRunner::Click(Current<TWelcomeForm>()->CancelBtn); });
  EXPECT_EQ(Broadcast(eccBeginningDialogManager), "EAIUserAbort");
  EXPECT_EQ(CancelAsked, 2);
}

// Without a hook of the test, Cancel asks the install controller: its
// OnUserAbort answers, No keeps the page and Yes is the user abort.
TEST_F(WizardPages, CancelAsksTheControllersOnUserAbort) {
  VerifyCancelSource = nullptr;
  MainInstall = nullptr;  // the controller takes the stand-in's place
  auto* install = new TInstall(new TDataModule(Module));
  int asked = 0;
  install->SetOnUserAbort([&asked](TObject*, bool& QuitOut) { QuitOut = ++asked == 2; });
  Page<TWelcomeDlg>("Welcome1", Manager(dmBeforeInstall));
  Run->Step(
         "cancel, no", [] { return Current<TWelcomeForm>() != nullptr; },
         [] { PageRunner::Click(Current<TWelcomeForm>()->CancelBtn); })
      .Step(
          "cancel, yes", [&asked] { return asked == 1 && Current<TWelcomeForm>() != nullptr; },
          [] { PageRunner::Click(Current<TWelcomeForm>()->CancelBtn); });
  EXPECT_EQ(Broadcast(eccBeginningDialogManager), "EAIUserAbort");
  EXPECT_EQ(asked, 2);
}

// The select-language page's Cancel ends nothing before the controller's
// answer, shown alone or in the wizard: No keeps the page, Yes aborts.
TEST_F(WizardPages, SelectLanguageCancelWaitsForTheAnswer) {
  for (bool managed : {false, true}) {
    SCOPED_TRACE(managed ? "in the wizard" : "alone");
    TDialogManager* dm = managed ? Manager(dmBeforeInstall) : nullptr;
    auto* page = Page<TSelectLanguageDlg>("Language1", dm);
    CancelAnswers = {false, true};
    CancelAsked = 0;
    auto shown = [] { return PageRunner::ShownForm<TSelectLanguageForm>(); };
    Run->Step(
           "cancel, no", [&] { return shown() != nullptr; }, [&] { PageRunner::Click(shown()->CancelBtn); })
        .Step(
            "cancel, yes", [&] { return CancelAsked == 1 && shown() != nullptr; },
            [&] { PageRunner::Click(shown()->CancelBtn); });
    EXPECT_EQ(Broadcast(managed ? eccBeginningDialogManager : eccLanguageDialog), "EAIUserAbort");
    EXPECT_EQ(CancelAsked, 2);
    delete page;
    delete dm;
  }
}

// Page forms are freed whole: their OnDestroy runs before their own
// destructor, for a stand-alone run and for a form-only entry of another
// manager that the wizard makes and drops.
TEST_F(WizardPages, FormsAreFreedWhole) {
  DestroyLog.clear();
  auto* alone = Page<TSpyDlg>("Alone", nullptr);
  Run->Step(
      "close", [] { return PageRunner::ShownForm<TSpyForm>() != nullptr; },
      [] { PageRunner::CloseCommand(PageRunner::ShownForm<TSpyForm>()); });
  EXPECT_THROW(alone->Execute(), EAIUserAbort);
  EXPECT_EQ(Joined(DestroyLog), "OnDestroy destructor");
  DestroyLog.clear();
  TBIFEntry* formOnly = AddToBIFList(&TSpyForm::StaticClassInfo(), nullptr, nullptr);
  Page<TWelcomeDlg>("Welcome1", Manager(dmBeforeInstall));
  Run->Step(
      "next", [] { return Current<TWelcomeForm>() != nullptr; },
      [] { PageRunner::Click(Current<TWelcomeForm>()->ProceedBtn); });
  EXPECT_EQ(Broadcast(eccBeginningDialogManager), "");
  RemoveBIFEntry(formOnly);
  EXPECT_EQ(Joined(DestroyLog), "OnDestroy destructor");
}

// The window's close command is never a silent go-ahead: on a page that can
// abort it is a Cancel (it asks: No stays, Yes is the user abort). A page
// that cannot abort takes it as its Finish, asking nothing, with Reboot as
// the radio group shows it: the reboot and setup-incomplete pages, a page
// that shows no Cancel button, and any page shown after the install, as a
// page of an author's own that overrides nothing.
TEST_F(WizardPages, CloseCommandIsCancelOnlyWherePagesCanAbort) {
  struct Row {
    const char* Name;
    TManagerType Type;
    int Code;
    const char* Result;
    int Asked;
  } rows[] = {
      {"welcome", dmBeforeInstall, eccBeginningDialogManager, "EAIUserAbort", 2},
      {"reboot", dmReboot, eccShutDownDialog, "", 0},
      {"setup incomplete", dmAfterBadInstall, eccBadInstallDialogManager, "", 0},
      {"own page with Cancel after a good install", dmAfterGoodInstall, eccGoodInstallDialogManager, "", 0},
      {"own page without Cancel", dmBeforeInstall, eccBeginningDialogManager, "", 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Name);
    TDialogManager* dm = Manager(row.Type);
    TComponent* page = nullptr;
    if (std::string(row.Name).starts_with("own page")) {
      auto* spy = Page<TSpyDlg>("Own1", dm);
      spy->ShowsCancel = row.Type != dmBeforeInstall;
      page = spy;
    } else if (row.Type == dmBeforeInstall) {
      page = Page<TWelcomeDlg>("Welcome1", dm);
    }
    if (row.Type == dmReboot) page = Page<TRebootDlg>("Reboot1", dm);
    if (row.Type == dmAfterBadInstall) page = Page<TBadInstallationDlg>("Bad1", dm);
    // A page that should not ask and asks anyway is answered Yes.
    CancelAnswers = row.Asked ? std::vector<bool>{false, true} : std::vector<bool>{true};
    CancelAsked = 0;
    Reboot = true;
    Run->Step(
        "close", [] { return CurrentPage() != nullptr; },
        [] {
          if (auto* reboot = dynamic_cast<TRebootForm*>(CurrentPage())) reboot->RG->SetItemIndex(1);
          PageRunner::CloseCommand(Wizard());
        });
    if (row.Asked == 2)
      Run->Step(
          "close again", [this] { return CancelAsked == 1 && Wizard() != nullptr; },
          [] { PageRunner::CloseCommand(Wizard()); });
    EXPECT_EQ(Broadcast(row.Code), row.Result);
    EXPECT_EQ(CancelAsked, row.Asked);
    EXPECT_EQ(Reboot, row.Type != dmReboot);
    delete page;
    delete dm;
  }
}

// Told to end while a wizard is shown, the program does not go on with the
// install as if the page had been confirmed.
TEST_F(WizardPages, TerminateWhileShownEndsTheRun) {
  TDialogManager* dm = Manager(dmBeforeInstall);
  Page<TWelcomeDlg>("Welcome1", dm);
  Run->Step("terminate", [] { return Current<TWelcomeForm>() != nullptr; }, [] { Application->Terminate(); });
  EXPECT_EQ(Broadcast(eccBeginningDialogManager), "EAIUserAbort");
  // A wizard asked for afterwards shows nothing.
  EXPECT_EQ(Broadcast(eccBeginningDialogManager), "");
}

// Without a manager a page answers its own code, shown alone: Back hidden,
// Next closing it with OK. Its close command is its Cancel: No keeps the
// page, Yes is the user abort; the reboot page, which cannot abort, takes it
// as its Finish.
TEST_F(WizardPages, StandAlonePageAnswersItsOwnCode) {
  auto* welcome = Page<TWelcomeDlg>("Welcome1", nullptr);
  Page<TRebootDlg>("Reboot1", nullptr);
  Run->Step("next", [] { return PageRunner::ShownForm<TWelcomeForm>() != nullptr; },
            [] {
              auto* f = PageRunner::ShownForm<TWelcomeForm>();
              EXPECT_FALSE(Visible(f->BackBtn));
              PageRunner::Click(f->ProceedBtn);
            });
  EXPECT_EQ(Broadcast(eccWelcomeDialog), "");
  EXPECT_EQ(welcome->Dialog(), nullptr);
  auto shown = [] { return PageRunner::ShownForm<TBaseInstallForm>(); };
  CancelAnswers = {false, true};
  Run->Step(
         "close, no", [&] { return shown() != nullptr; }, [&] { PageRunner::CloseCommand(shown()); })
      .Step(
          "close, yes", [&] { return CancelAsked == 1 && shown() != nullptr; },
          [&] { PageRunner::CloseCommand(shown()); });
  EXPECT_EQ(Broadcast(eccWelcomeDialog), "EAIUserAbort");
  EXPECT_EQ(CancelAsked, 2);
  CancelAsked = 0;
  Run->Step(
      "close the reboot page", [&] { return shown() != nullptr; }, [&] { PageRunner::CloseCommand(shown()); });
  EXPECT_EQ(Broadcast(eccShutDownDialog), "");
  EXPECT_EQ(CancelAsked, 0);
  // With a manager the code does nothing.
  welcome->SetDialogManager(Manager(dmBeforeInstall));
  EXPECT_EQ(Broadcast(eccWelcomeDialog), "");
}

// The reboot page shows Reboot and writes the choice back.
TEST_F(WizardPages, RebootPageMirrorsTheFlag) {
  TDialogManager* dm = Manager(dmReboot);
  Page<TRebootDlg>("Reboot1", dm);
  Reboot = false;
  Run->Step("no selected", [] { return Current<TRebootForm>() != nullptr; },
            [] {
              auto* p = Current<TRebootForm>();
              EXPECT_EQ(p->RG->ItemIndex(), 1);
              EXPECT_FALSE(Reboot);
              p->RG->SetItemIndex(0);
              EXPECT_TRUE(Reboot);
              PageRunner::Click(p->FinishBtn);
            });
  EXPECT_EQ(Broadcast(eccShutDownDialog), "");
  EXPECT_TRUE(Reboot);
}

// Status texts nest; the window is as wide as its text needs.
TEST_F(WizardPages, InstallStatusKeepsAStackOfTexts) {
  auto* status = Page<TInstallStatusDlg>("Status1", nullptr);
  EXPECT_EQ(Broadcast(eccInstallStatusDialog_Hide), "");  // empty stack: nothing
  Controller->DisplayMessage("Reading file information...");
  const int wideA = status->Form()->Width();
  Controller->DisplayMessage("B");
  EXPECT_EQ(status->Message, "B");
  EXPECT_LT(status->Form()->Width(), wideA);
  Controller->HideMessage();
  EXPECT_EQ(status->Message, "Reading file information...");
  EXPECT_EQ(status->Form()->Width(), wideA);
  EXPECT_TRUE(status->Form()->Visible());
  Controller->HideMessage();
  EXPECT_FALSE(status->Form()->Visible());
  EXPECT_EQ(Broadcast(eccInstallStatusDialog_Display), "IException: Status1 got a nil PO parameter");
  EXPECT_EQ(status->MessageStack().Count(), 0);
}

// The copy-progress window: bars for a copy, the gauge for a download, at
// the bottom of the screen; Cancel asks and then stops the archive.
TEST_F(WizardPages, CopyProgressShowsBarsAndGauge) {
  auto* copy = Page<TCopyFileDlg>("Copy1", nullptr);
  copy->SetPosition(cfpBottom);
  TFileStatusParameter fs;
  fs.FileName = "QUILLANT.DLL";
  fs.FileComplete = 40;
  fs.TotalComplete = 10;
  EXPECT_EQ(Broadcast(eccCopyingFile, &fs), "");
  TCopyFileForm* f = copy->Form();
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->ProgressBar1->Position(), 40);
  EXPECT_EQ(f->ProgressBar2->Position(), 10);
  EXPECT_FALSE(Visible(f->TransferProgress));
  int left = 0, top = 0;
  BottomPlace(Screen->Width(), Screen->Height(), GetSystemMetrics(SM_CYCAPTION), f->Width(), f->Height(), left, top);
  EXPECT_EQ(f->Left(), left);
  EXPECT_EQ(f->Top(), top);
  TDownloadStatusParameter ds;
  ds.FileName = "Group1.1";
  ds.TotalComplete = 70;
  EXPECT_EQ(Broadcast(eccDownloadingNetFile, &ds), "");
  EXPECT_TRUE(Visible(f->TransferProgress));
  EXPECT_EQ(f->TransferProgress->Progress(), 70);
  EXPECT_EQ(f->ProgressBar2->Position(), 10);
  EXPECT_EQ(f->ProgressBar1->Position(), 70);
  Picture("copy_progress_en", f->Handle());
  // Cancel answered No changes nothing; Yes stops the archive and downloads.
  CancelAnswers = {false, true};
  QlntCompress->SetAbort(false);
  AbortDownload = false;
  f->TryCancel();
  EXPECT_FALSE(QlntCompress->Abort());
  f->TryCancel();
  EXPECT_TRUE(QlntCompress->Abort());
  EXPECT_TRUE(AbortDownload);
  EXPECT_TRUE(f->Visible());
  AbortDownload = false;
  EXPECT_EQ(Broadcast(eccDoneCopyingFiles), "");
  EXPECT_FALSE(f->Visible());
  EXPECT_EQ(Broadcast(eccCopyingFile), "IException: Copy1 got a nil PO parameter");
}

// A copy phase's progress forms opened by the during-copy manager are freed
// at its end and fresh ones open for the next; a manager whose container
// goes forgets it.
TEST_F(WizardPages, ManagerFreesCopyFormsAndForgetsItsContainer) {
  Manager(dmDuringCopyFiles);
  TDCFEntry* entry = AddToDCFList(&TCopyFileForm::StaticClassInfo(), nullptr, nullptr);
  auto copyForms = [] {
    int n = 0;
    for (int i = 0; i < Screen->FormCount(); ++i) n += dynamic_cast<TCopyFileForm*>(Screen->Forms(i)) != nullptr;
    return n;
  };
  TFileStatusParameter fs;
  fs.FileName = "A.DLL";
  fs.FileComplete = 30;
  for (int phase = 0; phase < 2; ++phase) {
    EXPECT_EQ(Broadcast(eccCopyingFile, &fs), "");
    EXPECT_EQ(Broadcast(eccCopyingFile, &fs), "");
    EXPECT_EQ(copyForms(), 1) << phase;
    EXPECT_EQ(Broadcast(eccDoneCopyingFiles), "");
    EXPECT_EQ(copyForms(), 0) << phase;
  }
  RemoveDCFEntry(entry);

  auto* group = new TInstallFileGroup(Module);
  group->SetContainer(Controller);
  auto* dm = new TDialogManager(Module);
  dm->SetContainer(group);
  delete group;
  EXPECT_EQ(dm->Container(), nullptr);
  EXPECT_EQ(Broadcast(eccBeginningDialogManager), "");
}

// A folder name that climbs out of Programs or that a folder cannot hold is
// refused on Next: the page stays; a good name goes through, one level down.
TEST_F(WizardPages, SelectFolderRefusesBadNames) {
  auto* folder = new TCustomShellLinkGroup(Module);
  folder->SetName("Folder1");
  folder->SetContainer(Controller);
  Page<TSelectFolderDlg>("SelectFolder1", Manager(dmBeforeInstall))->SetContainer(folder);
  auto page = [] { return Current<TSelectFolderForm>(); };
  std::vector<std::string> refused;
  for (const char* bad : {"..", "Tools|Old", "a:b", "Games\\Cards"}) {
    Run->Step(std::string("type ") + bad, [&] { return page() != nullptr && !PageRunner::MessageBoxWindow(); },
              [&, bad] {
                page()->FolderEdit->SetText(bad);
                PageRunner::Click(page()->ProceedBtn);
              })
        .Step(std::string("refused ") + bad, [] { return PageRunner::MessageBoxWindow() != nullptr; },
              [&] {
                HWND box = PageRunner::MessageBoxWindow();
                refused.push_back(PageRunner::MessageBoxText(box));
                PageRunner::AnswerMessageBox(box, IDOK);
              });
  }
  Run->Step("good name", [&] { return page() != nullptr && !PageRunner::MessageBoxWindow(); },
            [&] {
              page()->FolderEdit->SetText("Quillant Tools");
              PageRunner::Click(page()->ProceedBtn);
            });
  EXPECT_EQ(Broadcast(eccBeginningDialogManager), "");
  ASSERT_EQ(refused.size(), 4u);
  EXPECT_NE(refused[0].find(".. is not a valid folder name"), std::string::npos) << refused[0];
  EXPECT_EQ(folder->DestDirType(), ddProgramMenuDir);
  EXPECT_EQ(folder->DestDir(), "\\Quillant Tools");
}

// A second stand-alone run of a page in German is German again.
TEST_F(WizardPages, SecondStandAloneRunKeepsTheLanguage) {
  Page<TWelcomeDlg>("Welcome1", nullptr);
  Translator->SetTranslateIntoLanguage(qlGerman);
  for (int run = 0; run < 2; ++run)
    Run->Step("german " + std::to_string(run), [] { return PageRunner::ShownForm<TWelcomeForm>() != nullptr; },
              [] {
                auto* f = PageRunner::ShownForm<TWelcomeForm>();
                EXPECT_EQ(f->ProceedBtn->Caption(), "Weiter >");
                EXPECT_EQ(f->Caption(), "Willkommen");
                PageRunner::Click(f->ProceedBtn);
              });
  EXPECT_EQ(Broadcast(eccWelcomeDialog), "");
  EXPECT_EQ(Broadcast(eccWelcomeDialog), "");
}

// The language page lists the languages with texts; a click on a flag
// switches every open page at once, fonts included.
TEST_F(WizardPages, LanguageSwitchRetranslatesEveryPage) {
  TDialogManager* dm = Manager(dmBeforeInstall);
  Page<TSelectLanguageDlg>("Language1", dm);
  Page<TWelcomeDlg>("Welcome1", dm);
  auto* copy = Page<TCopyFileDlg>("Copy1", nullptr);
  TFileStatusParameter fs;
  fs.FileName = "A.DLL";
  ASSERT_EQ(Broadcast(eccCopyingFile, &fs), "");
  auto clickLanguage = [](TQlntLanguage L) {
    if (!pagelooks::ClickLanguage(Current<TSelectLanguageForm>(), L)) ADD_FAILURE() << "no cell for language " << L;
  };
  Run->Step("grid", [] { return Current<TSelectLanguageForm>() != nullptr; },
            [&] {
              auto* p = Current<TSelectLanguageForm>();
              // English, German and Japanese: two rows; Russian has one line only.
              EXPECT_EQ(p->IncludedLanguageCount, 3);
              EXPECT_EQ(p->LanguageGrid->RowCount(), 2);
              EXPECT_EQ(p->LanguageGrid->Objects(1, 1), nullptr);
              Picture("language_en");
              clickLanguage(qlGerman);
            })
      .Step("german",
            [] {  // switched once the grid is enabled again
              auto* p = Current<TSelectLanguageForm>();
              return p->ProceedBtn->Caption() == "Weiter >" && p->LanguageGrid->Enabled();
            },
            [&] {
              auto* p = Current<TSelectLanguageForm>();
              EXPECT_EQ(Wizard()->Pages()[1]->Caption(), "Willkommen");
              EXPECT_EQ(Wizard()->Caption(), p->Caption());  // the window follows its page at once
              EXPECT_EQ(copy->Form()->CancelBtn->Caption(), "Abbrechen");
              EXPECT_EQ(p->ProceedBtn->Font()->Charset(), 238);
              Picture("language_de");
              clickLanguage(qlJapanese);
            })
      .Step("japanese", [] { return Current<TSelectLanguageForm>()->ProceedBtn->Caption() == "次へ >"; },
            [&] {
              auto* p = Current<TSelectLanguageForm>();
              EXPECT_EQ(p->ProceedBtn->Font()->Charset(), 128);
              EXPECT_EQ(copy->Form()->CancelBtn->Caption(), "キャンセル");
              Picture("language_ja");
              PageRunner::Click(p->ProceedBtn);
            })
      .Step("welcome in japanese", [] { return Current<TWelcomeForm>() != nullptr; },
            [] {
              EXPECT_EQ(Current<TWelcomeForm>()->ProceedBtn->Caption(), "次へ >");
              PageRunner::Click(Current<TWelcomeForm>()->ProceedBtn);
            });
  EXPECT_EQ(Broadcast(eccBeginningDialogManager), "");
  EXPECT_EQ(Translator->TranslateIntoLanguage(), qlJapanese);
}

namespace {
// The message of the Exception that Raise throws, or "" when none.
std::string MessageOf(const std::function<void()>& Raise) {
  try {
    Raise();
  } catch (const Exception& e) {
    return e.Message;
  }
  return "";
}
}  // namespace

// The page lists hold component entries only, each from its component's
// creation to its destruction; LinkToManager finds the first manager of a
// type that sits in the install controller.
TEST_F(WizardPages, RegistrationListsAndManagerLinks) {
  auto inBIFList = [](TBIFEntry* Entry) {
    for (int i = 0; i < BIFCount(); ++i)
      if (GetBIFEntry(i) == Entry) return true;
    return false;
  };
  for (TBIFEntry* e : {WelcomeFormBIFEntry, SelectFolderFormBIFEntry, RebootFormBIFEntry, FileGroupSelectFormBIFEntry,
                       BadInstallFormBIFEntry, SelectLanguageFormBIFEntry}) {
    ASSERT_NE(e, nullptr);
    EXPECT_FALSE(inBIFList(e)) << e->BIFClassType->ClassName();
  }
  EXPECT_EQ(std::count(DCFList->begin(), DCFList->end(), CopyFileFormDCF), 0);
  EXPECT_EQ(std::count(BCDFList->begin(), BCDFList->end(), ChangeDiskFormBCDFEntry), 0);

  const int count = BIFCount();
  auto* welcome = Page<TWelcomeDlg>("Welcome1", nullptr);
  ASSERT_EQ(BIFCount(), count + 1);
  EXPECT_EQ(GetBIFEntry(count)->DlgCmp, welcome);
  EXPECT_EQ(GetBIFEntry(count)->BIFClassType, &TWelcomeForm::StaticClassInfo());
  for (int index : {-1, count + 1})
    EXPECT_EQ(MessageOf([index] { GetBIFEntry(index); }), std::to_string(index) + " is an invalid index in the BIFList");
  delete welcome;
  EXPECT_EQ(BIFCount(), count);

  auto* group = new TInstallFileGroup(Module);
  group->SetName("Group1");
  group->SetContainer(Controller);
  Manager(dmReboot)->SetContainer(group);
  TDialogManager* first = Manager(dmBeforeInstall);
  Manager(dmBeforeInstall);
  const std::pair<TManagerType, TDialogManager*> links[] = {
      {dmBeforeInstall, first}, {dmReboot, nullptr}, {dmAfterGoodInstall, nullptr}};
  for (auto [type, dm] : links) EXPECT_EQ(LinkToManager(type), dm) << type;
  EXPECT_EQ((new TWelcomeDlg(Module))->DialogManager(), first);
  EXPECT_EQ(CurrentDM, nullptr);
}

// A translation whose placeholders do not fit its arguments gives way to the
// English wording, at every message of the pages that is formatted; one that
// fits is used.
TEST_F(WizardPages, BadTranslationFallsBackToEnglish) {
  auto* welcome = Page<TWelcomeDlg>("Welcome1", nullptr);
  auto* status = Page<TInstallStatusDlg>("Status1", nullptr);
  auto* folder = Page<TSelectFolderDlg>("Folder1", nullptr);  // in the controller: no shortcut folder
  auto* blankFolder = Page<TSelectFolderDlg>("Folder2", nullptr);
  blankFolder->SetContainer(nullptr);
  auto* groups = Page<TInstallFileGroupsDlg>("Groups1", nullptr);
  groups->SetContainer(nullptr);
  TDialogManager* dm = Manager(dmBeforeInstall);
  struct Row {
    const char* English;
    const char* German;
    std::function<void()> Raise;
    std::string Expected;
  } rows[] = {
      {"%d is an invalid index in the BIFList", "%d ist kein Index der Liste", [] { GetBIFEntry(-1); },
       "-1 ist kein Index der Liste"},
      {"Cannot AssignDialogProperties for %s because the Dialog is Nil", "%d hat kein Fenster",
       [&] { welcome->AssignDialogProperties(); },
       "Cannot AssignDialogProperties for Welcome1 because the Dialog is Nil"},
      {"", "", [&] { status->AssignDialogProperties(); },
       "Cannot AssignDialogProperties for Status1 because the Dialog is Nil"},
      {"Cannot add a NIL Dialog to the Dialog Manager %s", "%s: %s fehlt", [&] { dm->InsertDialog(nullptr); },
       "Cannot add a NIL Dialog to the Dialog Manager " + dm->Name()},
      {"The container for %s must be a TCustomShellLinkGroup", "%d ist kein Verknüpfungsordner",
       [&] { folder->GetContainer(); }, "The container for Folder1 must be a TCustomShellLinkGroup"},
      {"Cannot run this dialog %s with a blank Container property", "%s %s ohne Container",
       [&] { blankFolder->ExecuteUnique(); }, "Cannot run this dialog Folder2 with a blank Container property"},
      {"", "", [&] { groups->ExecuteUnique(); }, "Cannot run this dialog Groups1 with a blank Container property"},
  };
  int number = 900;
  for (const Row& row : rows) {
    if (!*row.English) continue;
    Translator->lgEnglish()->Strings()->Add(std::to_string(++number) + ";" + row.English + ";");
    Translator->lgGerman()->Strings()->Add(std::to_string(number) + ";" + row.German + ";");
  }
  Translator->SetTranslateIntoLanguage(qlGerman);
  for (const Row& row : rows) EXPECT_EQ(MessageOf(row.Raise), row.Expected);
}
