#include "wizard/WizardFixture.h"

#include <algorithm>
#include <cstdlib>

#include "classlib/WinText.h"
#include "wizard/WizardTexts.h"

QNT_PUBLISH(TTestController);

TTestController::TTestController(TComponent* AOwner) : TInstallObject(AOwner) { MainInstall = this; }
TTestController::~TTestController() {
  if (MainInstall == this) MainInstall = nullptr;
}

void WizardFixture::SetUp() {
  Module = new TComponent(nullptr);
  Translator = new TTranslator(Module);
  FillWizardTexts(Translator);
  Controller = new TTestController(Module);
  Controller->SetName("Install1");
  VerifyCancelSource = [this] {
    ++CancelAsked;
    if (CancelAnswers.empty()) return true;
    const bool a = CancelAnswers.front();
    CancelAnswers.erase(CancelAnswers.begin());
    return a;
  };
  Run = new testsupport::PageRunner();
}

void WizardFixture::TearDown() {
  EXPECT_TRUE(Run->Finished()) << Run->Report();
  EXPECT_TRUE(Run->Errors().empty()) << Run->Report();
  delete Run;
  VerifyCancelSource = nullptr;
  Reboot = false;
  delete Module;
}

TDialogManager* WizardFixture::Manager(TManagerType Type) {
  auto* m = new TDialogManager(Module);
  m->SetName(std::string("DM") + std::to_string(static_cast<int>(Type)) + "_" + std::to_string(Module->ComponentCount()));
  m->SetManagerType(Type);
  m->SetContainer(Controller);
  return m;
}

TBaseFormContainer* WizardFixture::Wizard() { return testsupport::PageRunner::ShownForm<TBaseFormContainer>(); }

TBaseInstallForm* WizardFixture::CurrentPage() {
  TBaseFormContainer* w = Wizard();
  return w ? w->CurrentPage() : nullptr;
}

std::string WizardFixture::Broadcast(int Code, TObject* PO) {
  try {
    Controller->ExternalComponentCall(Controller, Code, PO);
  } catch (const EAIUserAbort&) {
    return "EAIUserAbort";
  } catch (const IException& e) {
    return std::string("IException: ") + e.what();
  } catch (const Exception& e) {
    return std::string("Exception: ") + e.what();
  }
  return "";
}

void WizardFixture::Picture(const std::string& Name) {
  const char* dir = std::getenv("QNT_SCREENSHOTS");
  if (!dir || !*dir) return;
  Application->ProcessMessages();
  const std::string path = std::string(dir) + "/" + Name + ".png";
  // The picture is taken by a program of the host, which may still run when
  // the call returns: wait for its file, or the page would change under it.
  std::wstring local = L"Z:" + Widen(path);
  std::replace(local.begin(), local.end(), L'/', L'\\');
  DeleteFileW(local.c_str());
  testsupport::Screenshot(path);
  for (int i = 0; i < 100 && GetFileAttributesW(local.c_str()) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(100);
  Sleep(200);
}
