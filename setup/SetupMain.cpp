#include "setup/SetupMain.h"

#include <windows.h>

#include "classlib/Units.h"
#include "classlib/WinText.h"
#include "setup/Unit1.h"

namespace {
// Shown without the application, which may be what failed to start.
void ReportUnhandled(const std::string& Text) {
  MessageBoxW(nullptr, Widen(Text).c_str(), Widen(SetupTitle).c_str(), MB_OK | MB_ICONSTOP);
}
}  // namespace

int SetupMain(const std::function<void()>& CreateForms) {
  try {
    InitializeUnits();
  } catch (const std::exception& e) {
    ReportUnhandled(e.what());
    return 1;
  }
  int rc = 0;
  try {
    Application->Initialize();
    Application->SetTitle(SetupTitle);
    TForm1* form1 = nullptr;
    Application->CreateForm(form1);
    CreateForms();
    Application->Run();
  } catch (const std::exception& e) {
    Application->Terminate();  // the hidden main form must not keep the program alive
    ReportUnhandled(e.what());
    rc = 1;
  }
  // The forms and the install module go while every unit still stands: their
  // components tell each other of their end through the engine's lists.
  Application->DestroyComponents();
  FinalizeUnits();
  return rc;
}
