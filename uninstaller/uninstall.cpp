// The uninstaller's main block: one window, streamed from its form resource.
#include <windows.h>

#include "classlib/Forms.h"
#include "classlib/Units.h"
#include "uninstaller/UninstallForm.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  InitializeUnits();
  TForm1* Form1 = nullptr;
  Application->Initialize();
  Application->CreateForm(Form1);
  Application->Run();
  const int rc = Form1 ? Form1->ExitCode() : 0;
  FinalizeUnits();
  return rc;
}
