// The setup program of this product: the main form, the setup-complete
// form, the install module (whose creation may carry out a whole *BUILD,
// *TODISK or *ABOOT run) and the select-language form, then the message loop.
#include "setup/GoodInstall.h"
#include "setup/InstallModule.h"
#include "setup/SetupMain.h"
#include "wizard/ordlg_SelectLanguage.h"

int main() {
  return SetupMain([] {
    TGoodInstallForm* goodInstall = nullptr;
    Application->CreateForm(goodInstall);
    new TIM(Application);  // IM
    if (Application->Terminated()) return;
    TSelectLanguageForm* selectLanguage = nullptr;
    Application->CreateForm(selectLanguage);
  });
}
