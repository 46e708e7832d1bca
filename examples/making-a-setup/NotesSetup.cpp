// The setup program of Example Notes, the README's example of a setup for
// another product: a page-free install module that installs two files, the
// uninstaller, a shortcut in the Start menu and one on the desktop, without
// asking anything.
#include "classlib/Forms.h"
#include "engine/cmp_TInstall.h"
#include "engine/cmp_TInstallShellLink.h"
#include "engine/cmp_TUninstallEXE.h"
#include "setup/SetupMain.h"

namespace {
class TNotesModule : public TDataModule {
  QNT_PUBLISHED(TNotesModule, TDataModule)
public:
  explicit TNotesModule(TComponent* AOwner) : TDataModule(AOwner) {
    // Every class that the module's text names.
    RegisterClasses<TInstall, TInstallFileGroup, TInstallFile, TUninstallEXE, TMainLinkGroup, TInstallMainLink,
                    TInstallShellLink>();
    ReadResource("TNOTESMODULE");
  }
};
QNT_PUBLISH(TNotesModule);
}  // namespace

int main() {
  return SetupMain("Example Notes 1.0", [] { new TNotesModule(Application); });
}
