// A setup program with a page-free install module whose files come from
// C:\qnt-roundtrip-src on the build machine: started with *BUILD it builds
// its distribution, started by its setup.exe it installs it.
#include "classlib/Forms.h"
#include "engine/cmp_TInstall.h"
#include "setup/SetupMain.h"

namespace {
class TBuildModule : public TDataModule {
  QNT_PUBLISHED(TBuildModule, TDataModule)
public:
  explicit TBuildModule(TComponent* AOwner) : TDataModule(AOwner) {
    RegisterClasses<TInstall, TInstallFileGroup, TInstallFile>();
    ReadResource("TBUILDMODULE");
  }
};
QNT_PUBLISH(TBuildModule);
}  // namespace

int main() {
  return SetupMain([] { new TBuildModule(Application); });
}
