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
  bool failed = false;
  std::string error;
  try {
    Application->Initialize();
    Application->SetTitle(Title);
    TForm1* form1 = nullptr;
    Application->CreateForm(form1);
    CreateForms();
    Application->Run();
    // The exit code is that of the quit message: 0 from the application's
    // end, 1 from a *BUILD or *TODISK run that failed (it has shown why).
    // The loop stops once the application is terminated, so the message is
    // still queued; it stays there, as before, for the program's end.
    MSG quit;
    if (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE)) rc = static_cast<int>(quit.wParam);
  } catch (const std::exception& e) {
    error = e.what();
    failed = true;
  } catch (...) {
    error = "Unknown exception";
    failed = true;
  }
  if (failed) {
    ReportUnhandled(error, Title);
    Application->Terminate();  // the hidden main form must not keep the program alive
    rc = 1;
  }
  // The forms and the install module go while every unit still stands: their
  // components tell each other of their end through the engine's lists.
  Application->DestroyComponents();
  FinalizeUnits();
  return rc;
}
