// A setup program whose start fails: started without arguments its module
// names a class that does not exist (a setup author's typo); started with
// *ABOOT its module is whole, but the run after the restart lacks the
// arguments it needs.
#include "classlib/FormReader.h"
#include "classlib/Forms.h"
#include "engine/cmp_TInstall.h"
#include "setup/SetupMain.h"

namespace {
class TBadModule : public TDataModule {
  QNT_PUBLISHED(TBadModule, TDataModule)
public:
  explicit TBadModule(TComponent* AOwner) : TDataModule(AOwner) {
    RegisterClasses<TInstall, TInstallFileGroup>();
    ReadResource("TBADMODULE");
  }
};
QNT_PUBLISH(TBadModule);

const char* const WholeModule =
    "object BadModule: TBadModule\n"
    "  object Install1: TInstall\n"
    "    AutoMaximizeWindow = False\n"
    "  end\n"
    "end\n";
const char* const ModuleWithATypo =
    "object BadModule: TBadModule\n"
    "  object Install1: TInstall\n"
    "    AutoMaximizeWindow = False\n"
    "  end\n"
    "  object Group1: TInstalFileGroup\n"
    "    Container = Install1\n"
    "  end\n"
    "end\n";
}  // namespace

int main() {
  return SetupMain("Quillant Bad Module", [] {
    RegisterResourceText("TBADMODULE",
                         StartSwitch(InstallParams()) == TStartSwitch::ssABoot ? WholeModule : ModuleWithATypo);
    new TBadModule(Application);
  });
}
