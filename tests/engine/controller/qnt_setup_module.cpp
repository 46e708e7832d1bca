// A setup program with a page-free install module (a controller, file
// groups, files, shortcuts and the uninstaller) read from its text form
// resource; the program is linked with each module text that a test needs.
// Built with QNT_SETUP_WITH_WELCOME (and the wizard) its module may hold a
// welcome page too.
// The restart of Windows is recorded in "restart.log" beside the program
// instead of carried out: under Wine a restart would end every program on
// the display.
#include <cstdlib>
#include <fstream>

#include "classlib/Forms.h"
#include "engine/cmp_TInstall.h"
#include "engine/cmp_TInstallShellLink.h"
#include "engine/cmp_TUninstallEXE.h"
#include "setup/SetupMain.h"
#ifdef QNT_SETUP_WITH_WELCOME
#include "wizard/dlgcmp_TWelcomeDlg.h"
#endif

namespace {

class TSetupModule : public TDataModule {
  QNT_PUBLISHED(TSetupModule, TDataModule)
public:
  explicit TSetupModule(TComponent* AOwner) : TDataModule(AOwner) {
    RegisterClasses<TInstall, TInstallFileGroup, TInstallFile, TUninstallEXE, TMainLinkGroup, TInstallMainLink,
                    TInstallShellLink>();
#ifdef QNT_SETUP_WITH_WELCOME
    // A page that holds the run where a user sits over it.
    RegisterClasses<TDialogManager, TWelcomeDlg>();
#endif
    ReadResource("TSETUPMODULE");
  }
};
QNT_PUBLISH(TSetupModule);

bool RecordRestart() {
  std::ofstream(MainInstall ? static_cast<TCustomInstall*>(MainInstall)->RunningDir() + "\\restart.log" : "restart.log",
                std::ios::app | std::ios::binary)
      << "restart\n";
  return true;
}

// QNT_CANCEL_AT names a file component: the run is cancelled as the user
// cancels it, as that file's install begins.
void CancelAtTheNamedFile(TComponent* Module) {
  const char* name = std::getenv("QNT_CANCEL_AT");
  if (!name) return;
  if (auto* file = dynamic_cast<TCustomInstallFile*>(Module->FindComponent(name)))
    file->SetOnBeforeInstall([](TInstallObject*) { throw EAIUserAbort(); });
}

// QNT_UNCOUNTED names a file component installed without counting it among
// its shared file's users, as an earlier version of the product did.
void UncountTheNamedFile(TComponent* Module) {
  const char* name = std::getenv("QNT_UNCOUNTED");
  if (!name) return;
  if (auto* file = dynamic_cast<TCustomInstallFile*>(Module->FindComponent(name))) file->SetUpdateDLLCounter(false);
}

}  // namespace

int main() {
  SystemRestart = RecordRestart;
  return SetupMain("Quillant Test Product", [] {
    auto* module = new TSetupModule(Application);
    CancelAtTheNamedFile(module);
    UncountTheNamedFile(module);
  });
}
