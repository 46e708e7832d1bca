// The setup program of this product: the main form, the setup-complete
// form, the install module (whose creation may carry out a whole *BUILD,
// *TODISK or *ABOOT run) and the select-language form, then the message loop.
#include "setup/GoodInstall.h"
#include "setup/InstallModule.h"
#include "setup/SetupMain.h"
#include "wizard/ordlg_SelectLanguage.h"

namespace {
// The application title of this product's setup program.
const char* const SetupTitle = "Quillant32 2.5 Beta";
}  // namespace

int main() {
  return SetupMain(SetupTitle, [] {
    TGoodInstallForm* goodInstall = nullptr;
    Application->CreateForm(goodInstall);
    new TIM(Application);  // IM
    if (Application->Terminated()) return;
    TSelectLanguageForm* selectLanguage = nullptr;
    Application->CreateForm(selectLanguage);
  });
}
