#include "setup/SetupMain.h"

#include <windows.h>

#include <string>

#include "classlib/Units.h"
#include "classlib/WinText.h"
#include "setup/Unit1.h"

namespace {
// Shown without the application, which may be what failed to start. A quit
// already asked for (a run that ended the program before it failed) would
// close the box at once: the user reads it first.
void ReportUnhandled(const std::string& Text, const char* Title) {
  MSG quit;
  while (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
  }
  MessageBoxW(nullptr, Widen(Text).c_str(), Widen(Title).c_str(), MB_OK | MB_ICONSTOP);
}
}  // namespace

int SetupMain(const char* Title, const std::function<void()>& CreateForms) {
  try {
    InitializeUnits();
  } catch (const std::exception& e) {
    ReportUnhandled(e.what(), Title);
    return 1;
  } catch (...) {
    ReportUnhandled("Unknown exception", Title);
    return 1;
  }
  int rc = 0;
  std::string error;
  try {
    Application->Initialize();
    Application->SetTitle(Title);
    TForm1* form1 = nullptr;
    Application->CreateForm(form1);
    CreateForms();
    Application->Run();
  } catch (const std::exception& e) {
    error = e.what();
    rc = 1;
  } catch (...) {
    error = "Unknown exception";
    rc = 1;
  }
  if (rc != 0) {
    ReportUnhandled(error, Title);
    Application->Terminate();  // the hidden main form must not keep the program alive
  }
  // The forms and the install module go while every unit still stands: their
  // components tell each other of their end through the engine's lists.
  Application->DestroyComponents();
  FinalizeUnits();
  return rc;
}
