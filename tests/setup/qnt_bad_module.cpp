// A setup program whose start fails: started without arguments its module
// (bad_module.txt, built in as an author's setup builds it) names a class
// that does not exist (a setup author's typo); started with *ABOOT its module
// is whole, but the run after the restart lacks the arguments it needs.
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
}  // namespace

int main() {
  return SetupMain("Quillant Bad Module", [] {
    if (StartSwitch(InstallParams()) == TStartSwitch::ssABoot) RegisterResourceText("TBADMODULE", WholeModule);
    new TBadModule(Application);
  });
}
