// What the page tests share: an install module with a controller stand-in,
// one dialog manager per type and a translator with three languages; the
// controller's answer to Cancel; screenshots of what a test shows.
#pragma once
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/PageRunner.h"
#include "wizard/dlgcmp_TBaseContainer.h"
#include "wizard/dlgcmp_TBaseDlg.h"

// The install controller's place in the tree: a file container whose
// Container stays nil.
class TTestController : public TInstallObject {
  QNT_PUBLISHED(TTestController, TInstallObject)
public:
  explicit TTestController(TComponent* AOwner);
  ~TTestController() override;
  int RegisteredType() override { return cFileGroup; }
};

class WizardFixture : public testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

  // A manager of that type in the controller.
  TDialogManager* Manager(TManagerType Type);
  // A page component of class T in the controller, run by Manager (nullptr:
  // stand-alone).
  template <class T>
  T* Page(const std::string& Name, TDialogManager* DM) {
    T* p = new T(Module);
    p->SetName(Name);
    p->SetContainer(Controller);
    p->SetDialogManager(DM);
    return p;
  }
  // The wizard window shown now, and its current page.
  static TBaseFormContainer* Wizard();
  static TBaseInstallForm* CurrentPage();
  // Runs a broadcast of the controller; the exception's class name, or "".
  std::string Broadcast(int Code, TObject* PO = nullptr);
  // A picture of Window (nullptr: the active window of this thread) for
  // review, when QNT_SCREENSHOTS names a folder.
  static void Picture(const std::string& Name, HWND Window = nullptr);

  TComponent* Module = nullptr;
  TTestController* Controller = nullptr;
  TTranslator* Translator = nullptr;
  // The controller's answers to Cancel, in order; true once they run out.
  std::vector<bool> CancelAnswers;
  int CancelAsked = 0;
  testsupport::PageRunner* Run = nullptr;
};
