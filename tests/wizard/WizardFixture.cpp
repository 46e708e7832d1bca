#include "wizard/WizardFixture.h"

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

void WizardFixture::Picture(const std::string& Name, HWND Window) {
  const char* dir = std::getenv("QNT_SCREENSHOTS");
  if (!dir || !*dir) return;
  Application->ProcessMessages();
  if (!Window) Window = GetActiveWindow();
  if (!Window) {
    ADD_FAILURE() << "no window of this thread to picture for " << Name;
    return;
  }
  EXPECT_TRUE(testsupport::Screenshot(Window, std::string(dir) + "/" + Name + ".png")) << Name;
}
