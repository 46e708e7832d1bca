// The install controller in the test program itself: the start-up switches,
// the run's broadcasts, its two ends, the exception handler's cases and the
// clean-up. In a prefix of its own: the runs write the local machine's keys.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>

#include "classlib/Forms.h"
#include "classlib/Registry.h"
#include "classlib/WinText.h"
#include "common/TestSupport.h"
#include "engine/cmp_TInstall.h"
#include "foundation/routines/routines_API.h"
#include "foundation/routines/routines_Registry.h"
#include "foundation/routines/routines_Strings.h"
#include "foundation/translator/cmp_TTranslator.h"

using namespace testsupport;

namespace {

std::vector<std::string> Params;
std::vector<std::string> TestParams() { return Params; }

// A page placed in the controller: records the codes it is sent and may
// answer one of them with an exception or a change of the Reboot flag.
class TRecorder : public TInstallObject {
public:
  explicit TRecorder(TComponent* AOwner) : TInstallObject(AOwner) {}
  int RegisteredType() override { return cDialog; }
  void HandleExternalComponentCall(TInstallContainer*, int Code, TObject*) override {
    Log.push_back(ComponentCallName(Code));
    if (OnCall) OnCall(Code);
  }
  void FinishInstall() override { Log.push_back("finish"); }
  std::vector<std::string> Log;
  std::function<void(int)> OnCall;

  int Count(const std::string& Code) const { return static_cast<int>(std::count(Log.begin(), Log.end(), Code)); }
  // Position of Code in the log, -1 when absent.
  int At(const std::string& Code) const {
    auto it = std::find(Log.begin(), Log.end(), Code);
    return it == Log.end() ? -1 : static_cast<int>(it - Log.begin());
  }
};

bool KeyExists(const std::string& Key) {
  TRegistry reg(KEY_READ);
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  return !Key.empty() && reg.OpenKeyReadOnly(Key);
}

// A module with a controller and a recording page, read as the program
// reads its own: every component loading, then Loaded in creation order.
struct TRig {
  explicit TRig(bool RunAutomatic = true, const std::function<void(TInstall*)>& Configure = nullptr) {
    Module = new TDataModule(nullptr);
    Install = new TInstall(Module);
    Install->SetName("Install1");
    Page = new TRecorder(Module);
    Page->SetName("Page1");
    for (int i = 0; i < Module->ComponentCount(); ++i) Module->Components(i)->SetState(csLoading);
    Install->SetRunAutomatic(RunAutomatic);
    Install->SetDestDirType(ddAbsolute);
    Install->SetDestDir(ScratchDir("ctl-dest"));
    Page->SetContainer(Install);
    if (Configure) Configure(Install);
    // The program would end here; the test goes on, and says so.
    Install->SetOnBeforeTerminateApp([this](TObject*, bool& QuitOut) {
      Page->Log.push_back("terminate?");
      QuitOut = false;
    });
    Install->SetOnCleanup([this](TObject*, bool&) { Page->Log.push_back("cleanup"); });
    for (int i = 0; i < Module->ComponentCount(); ++i) Module->Components(i)->Loaded();
  }
  ~TRig() { delete Module; }
  // Runs Install as the main form's activation would: an exception goes to
  // the application's handler.
  void Run() {
    try {
      Install->Install();
    } catch (...) {
      Application->HandleException(Install);
    }
  }
  TDataModule* Module;
  TInstall* Install;
  TRecorder* Page;
};

class Controller : public ::testing::Test {
protected:
  void SetUp() override {
    // The program's hidden main form, whose first activation starts the run.
    if (!Application->MainForm()) {
      TForm* mainForm = nullptr;
      Application->CreateForm(mainForm);
    }
    InstallParams = TestParams;
    Params = {"C:\\dist"};  // a start without the loader
    Reboot = false;
    UniqueInstallKey.clear();
  }
  void TearDown() override {
    DeleteKey(hkLocalMachine, "\\SOFTWARE\\Quillant");
    InstallParams = ProgramParams;
  }
};

}  // namespace

TEST_F(Controller, SwitchesChosenAtLoad) {
  struct Case {
    std::vector<std::string> params;
    bool selfExtracting;
    const char* archive;  // after ReadLoadingInformation
    const char* source;
    const char* error;    // raised by ReadLoadingInformation, or nullptr
  };
  const Case cases[] = {
      {{"*"}, false, "\\files.1", "*", nullptr},
      {{"*notselfextract", "setup.exe", "C:\\My", "Dist"}, false, "\\files.1", "C:\\My Dist", nullptr},
      {{"*SelfExtract", "setup.exe", "C:\\My", "Dist"}, true, "\\setup.exe", "C:\\My Dist", nullptr},
      // No switch in the second argument: no build, and two arguments read
      // as a loader's start lack the folder.
      {{"C:\\dist", "*BUILD"}, false, "\\files.1", "", SNoSourceDir},
  };
  for (const Case& c : cases) {
    Params = c.params;
    TRig rig;
    EXPECT_FALSE(Application->Terminated()) << c.params[0];
    EXPECT_EQ(rig.Install->CalledBySelfExtracting(), c.selfExtracting) << c.params[0];
    try {
      rig.Install->ReadLoadingInformation();
      EXPECT_EQ(c.error, nullptr) << c.params[0];
    } catch (const IEInstall& e) {
      EXPECT_EQ(e.Message, c.error ? c.error : "") << c.params[0];
    }
    EXPECT_EQ(rig.Install->ArchiveFile(), c.archive) << c.params[0];
    EXPECT_EQ(rig.Install->SourceDir(), c.source) << c.params[0];
  }
  // The archive is only redirected while it is the default one.
  Params = {"*SELFEXTRACT", "setup.exe", "C:\\dist"};
  TRig own(true, [](TInstall* I) { I->SetArchiveFile("\\mine.1"); });
  own.Install->ReadLoadingInformation();
  EXPECT_EQ(own.Install->ArchiveFile(), "\\mine.1");
}

TEST_F(Controller, AbootWithoutSetupKeyStopsBeforeAnyPage) {
  Params = {"*aboot", "*SELFEXTRACT", "setup.exe", "C:\\dist"};
  try {
    TRig rig;
    ADD_FAILURE() << "the run after the restart found no key and went on";
  } catch (const IEInstall& e) {
    EXPECT_EQ(e.Message, SCannotReadUnfinished);
  }
  Params = {"*ABOOT"};
  EXPECT_THROW(TRig rig, IEInstall);
}

TEST_F(Controller, GoodRunBroadcastsInOrderAndRemovesTheKey) {
  TRig rig;
  AbortDownload = true;  // left by an earlier run's Cancel
  rig.Run();
  EXPECT_FALSE(AbortDownload);
  const std::vector<std::string> order = {
      "eccBeforeReadArchiveInfo", "eccAfterReadArchiveInfo", "eccStartingUp", "eccLanguageDialog",
      "eccWelcomeDialog", "eccLicenseAgreement", "eccReadmeDialog", "eccBeginningDialogManager",
      "eccBeforeProcess", "eccAfterProcess", "eccGoodInstall", "eccGoodInstallDialogManager", "cleanup",
      "terminate?"};
  int last = -1;
  for (const auto& code : order) {
    int at = rig.Page->At(code);
    EXPECT_GT(at, last) << code;
    last = at;
  }
  // The file information is read once per run, though the container's job asks again.
  EXPECT_EQ(rig.Page->Count("eccBeforeReadArchiveInfo"), 1);
  EXPECT_EQ(rig.Page->Count("eccShutDownDialog"), 0);
  EXPECT_FALSE(rig.Install->Installing());
  EXPECT_FALSE(KeyExists(UniqueInstallKey));
  EXPECT_EQ(GetRVStr(hkLocalMachine, RunOnceKey, ContinuationValueName, "none"), "none");
}

TEST_F(Controller, RestartRunRegistersTheContinuationAndEnds) {
  int restarts = 0;
  SystemRestart = [] { return true; };
  TRig rig;
  rig.Page->OnCall = [&](int Code) {
    if (Code == eccBeginningDialogManager) rig.Install->WriteUnfinished("DataFile", ufcReinstall);
    if (Code == eccAfterProcess) Reboot = true;
  };
  rig.Install->SetOnRebootWindows([&](TObject*, bool& Continue) {
    ++restarts;
    Continue = false;  // the user restarts later
  });
  rig.Run();
  EXPECT_EQ(restarts, 1);
  EXPECT_EQ(rig.Page->Count("eccShutDownDialog"), 1);
  EXPECT_EQ(rig.Page->Count("eccGoodInstall"), 0);
  EXPECT_EQ(rig.Page->Count("cleanup"), 0);
  EXPECT_TRUE(KeyExists(UniqueInstallKey + "\\Unfinished"));
  // A start without the loader names the program itself as the loader.
  EXPECT_EQ(GetRVStr(hkLocalMachine, RunOnceKey, ContinuationValueName, ""),
            "\"" + ParamStr(0) + "\" *ABOOT *NOSELFEXTRACT " + ExtractFileName(ParamStr(0)) + " C:\\dist");
  EXPECT_TRUE(Application->Terminated());
}

TEST_F(Controller, ExceptionHandlerCases) {
  DialogWatcher boxes;
  // A Cancel during the run: the incomplete pages, clean-up, the key removed.
  {
    TRig rig;
    rig.Page->OnCall = [](int Code) {
      if (Code == eccWelcomeDialog) throw EAIUserAbort();
    };
    rig.Run();
    const std::string key = UniqueInstallKey;
    EXPECT_GE(rig.Page->At("eccBadInstallDialogManager"), 0);
    EXPECT_GT(rig.Page->At("cleanup"), rig.Page->At("eccBadInstallDialogManager"));
    EXPECT_GE(rig.Page->At("terminate?"), 0);
    EXPECT_FALSE(KeyExists(key));
    EXPECT_FALSE(rig.Install->Installing());
  }
  // Any other failure: the pages and the message, no clean-up, the key stays,
  // and the program ends even without RunAutomatic.
  {
    TRig rig(false);
    rig.Page->OnCall = [](int Code) {
      if (Code == eccReadmeDialog) throw IEInstall("The archive is damaged");
    };
    rig.Run();
    EXPECT_GE(rig.Page->At("eccBadInstallDialogManager"), 0);
    EXPECT_EQ(rig.Page->Count("cleanup"), 0);
    EXPECT_GE(rig.Page->At("terminate?"), 0);
    EXPECT_TRUE(KeyExists(UniqueInstallKey));
    ASSERT_FALSE(boxes.Dialogs().empty());
    EXPECT_EQ(boxes.Dialogs().back().Text, "The archive is damaged.");
  }
  DeleteKey(hkLocalMachine, "\\SOFTWARE\\Quillant");
  // Outside a run: only the message.
  {
    TRig rig(false);
    IEInstall e("Not during a run");
    rig.Install->AppException(nullptr, &e);
    EXPECT_TRUE(rig.Page->Log.empty());
    EXPECT_EQ(boxes.Dialogs().back().Text, "Not during a run.");
    EXPECT_FALSE(Application->Terminated());
  }
  // A Cancel on the incomplete pages is swallowed and ends the program.
  {
    TRig rig;
    rig.Page->OnCall = [](int Code) {
      if (Code == eccReadmeDialog) throw IEInstall("first");
      if (Code == eccBadInstallDialogManager) throw EAIUserAbort();
    };
    rig.Run();
    EXPECT_EQ(rig.Page->Count("terminate?"), 0);
    EXPECT_TRUE(Application->Terminated());
  }
}

TEST_F(Controller, ErrorBeforeTheRunEndsTheProgram) {
  DialogWatcher boxes;
  Params.clear();  // started without the loader's arguments
  TRig rig;
  rig.Run();
  ASSERT_FALSE(boxes.Dialogs().empty());
  EXPECT_EQ(boxes.Dialogs().back().Text, std::string(SNoLoaderName) + ".");
  EXPECT_TRUE(rig.Page->Log.empty());
  EXPECT_TRUE(UniqueInstallKey.empty());
  EXPECT_TRUE(Application->Terminated());
}

TEST_F(Controller, CleanupRemovesOnlyTheLoadersCopy) {
  const std::string running = ExtractFileDir(ParamStr(0));
  const std::string presetup = running + "\\qnt_presetup_probe.txt";
  struct Case {
    std::vector<std::string> params;
    std::string source;
    bool cleanupRuns;  // OnCleanup's answer
    bool goes;
  };
  const Case cases[] = {
      // Started directly from its build folder, with a source folder.
      {{"C:\\dist"}, "C:\\dist", true, false},
      // Loader words, but not in the loader's work folder.
      {{"*NOTSELFEXTRACT", "setup.exe", "C:\\dist"}, "C:\\dist", true, false},
      // The loader's copy from inside setup.exe.
      {{"*SELFEXTRACT", "setup.exe", "C:\\dist"}, "C:\\dist", true, true},
      // Run from the distribution's own folder, these files are the distribution.
      {{"*SELFEXTRACT", "setup.exe", "C:\\dist"}, running, true, false},
      {{"*SELFEXTRACT", "setup.exe", "C:\\dist"}, "C:\\dist", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.params[0] + " from " + c.source);
    Params = c.params;
    TRig rig(true, [](TInstall* I) {
      TStringList l;
      l.Add("C:\\build\\qnt_presetup_probe.txt");
      I->SetPresetupFiles(&l);
    });
    const bool runs = c.cleanupRuns;
    rig.Install->SetOnCleanup([runs](TObject*, bool& Continue) { Continue = runs; });
    WriteFileText(presetup, "x");
    rig.Install->SetSourceDir(c.source);
    rig.Install->Cleanup();
    EXPECT_EQ(FileExists(presetup), !c.goes);
  }
  RemoveFile(presetup);
}

TEST_F(Controller, LoaderWorkFoldersAreTheLoadersTemporaryNames) {
  wchar_t buf[MAX_PATH + 1];
  GetTempPathW(MAX_PATH + 1, buf);
  const std::string temp = DirectoryWOBS(Narrow(std::wstring(buf)));
  const std::string shortTemp = GetShortPath(temp);
  ASSERT_FALSE(shortTemp.empty());
  const struct {
    std::string dir;
    bool work;
  } cases[] = {
      {temp + "\\qnt1A2B", true},     {temp + "\\QNT7\\", true},       {shortTemp + "\\qntf", true},
      {temp + "\\qnt", false},        {temp + "\\qnt12345", false},     {temp + "\\qntwork", false},
      {temp + "\\qnt1A2B\\sub", false}, {"C:\\build\\qnt1A2B", false}, {temp, false},
      {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsLoaderWorkFolder(c.dir), c.work) << c.dir;
}

TEST_F(Controller, RunAfterRestartDoesTheJobsInTheChosenLanguage) {
  auto* translator = new TTranslator(nullptr);
  const std::string key = FindSetupKey(ParamStr(0), 0, true);
  ASSERT_FALSE(key.empty());
  WriteRVInteger(hkLocalMachine, key, "Language", qlGerman);
  const std::string odd = ScratchDir("ctl-jobs") + "\\odd;name.tmp";
  WriteFileText(odd, "x");
  WriteUnfinishedJob(key, odd, ufcDeleteFile);
  WriteUnfinishedJob(key, "PAGE1", ufcReinstall);
  Params = {"*ABOOT", "*NOSELFEXTRACT", "Quillant20.exe", "C:\\dist"};
  {
    TRig rig;
    EXPECT_EQ(translator->TranslateIntoLanguage(), qlGerman);
    EXPECT_FALSE(FileExists(odd));
    EXPECT_EQ(rig.Page->At("finish"), 0);
    EXPECT_GT(rig.Page->At("eccGoodInstallDialogManager"), 0);
    EXPECT_GE(rig.Page->At("terminate?"), 0);
    EXPECT_FALSE(KeyExists(key));
    EXPECT_EQ(rig.Install->SourceDir(), "C:\\dist");
  }
  delete translator;
}

TEST_F(Controller, OnlyOneControllerOwnedByAFormOrModuleAndHooksGivenBack) {
  bool earlier = false;
  Application->OnException = [&](TObject*, Exception*) { earlier = true; };
  TForm* form = new TForm(nullptr);
  EXPECT_THROW(TInstall bad(form->Owner()), IEInstall);  // no owner
  {
    TRig rig;
    EXPECT_THROW(new TInstall(rig.Module), IEInstall);
    EXPECT_EQ(MainInstall, rig.Install);
  }
  EXPECT_EQ(MainInstall, nullptr);
  {
    // The application's main form is hooked, before the controller's own form.
    auto* install = new TInstall(form);
    install->SetState(csLoading);
    install->Loaded();
    EXPECT_TRUE(static_cast<bool>(Application->MainForm()->OnActivate));
    delete install;
  }
  EXPECT_FALSE(static_cast<bool>(Application->MainForm()->OnActivate));
  ASSERT_TRUE(static_cast<bool>(Application->OnException));
  Exception e("x");
  Application->OnException(nullptr, &e);
  EXPECT_TRUE(earlier);
  form->Free();
}
