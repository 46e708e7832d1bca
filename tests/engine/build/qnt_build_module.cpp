// A setup program with a page-free install module whose files come from
// C:\qnt-roundtrip-src on the build machine: started with *BUILD it builds
// its distribution, started by its setup.exe it installs it. With
// QNT_ROUNDTRIP_FTP_PORT set it is the network distribution of the same
// files, served on that port of 127.0.0.1 (known only when the test runs).
#include <cstdlib>

#include "classlib/Forms.h"
#include "engine/cmp_TInstall.h"
#include "setup/SetupMain.h"

namespace {
class TBuildModule : public TDataModule {
  QNT_PUBLISHED(TBuildModule, TDataModule)
public:
  TBuildModule(TComponent* AOwner, const char* Resource) : TDataModule(AOwner) {
    RegisterClasses<TInstall, TInstallFileGroup, TInstallFile>();
    ReadResource(Resource);
  }
};
QNT_PUBLISH(TBuildModule);
}  // namespace

int main() {
  return SetupMain("Quillant Round Trip", [] {
    const char* port = std::getenv("QNT_ROUNDTRIP_FTP_PORT");
    auto* module = new TBuildModule(Application, port ? "TBUILDMODULEWEB" : "TBUILDMODULE");
    if (port)
      if (auto* install = dynamic_cast<TInstall*>(module->FindComponent("Install1")))
        install->LoginInformation()->SetPort(static_cast<uint16_t>(std::atoi(port)));
  });
}
