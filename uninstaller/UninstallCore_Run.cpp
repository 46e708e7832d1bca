// The removal run: the steps in their fixed order, then the record and the
// uninstaller's own file.
#include "classlib/SysUtils.h"
#include "foundation/routines/routines_INIFiles.h"
#include "uninstaller/UninstallCore.h"

namespace {
// Shows the progress bar around a step, and hides it again also when the
// step fails.
class TProgressShown {
public:
  explicit TProgressShown(TUninstaller& U) : FU(U) {
    if (FU.OnProgress) FU.OnProgress(0);
    if (FU.OnShowProgress) FU.OnShowProgress(true);
  }
  ~TProgressShown() {
    if (FU.OnShowProgress) FU.OnShowProgress(false);
  }
  TProgressShown(const TProgressShown&) = delete;
  TProgressShown& operator=(const TProgressShown&) = delete;

private:
  TUninstaller& FU;
};
}  // namespace

void TUninstaller::Run(const std::string& OwnFile) {
  // Without a product the record key would be the list of every product.
  if (Trim(FProductName).empty())
    throw Exception("Please remove this software from the Add/Remove Programs from the Control Panel");
  auto done = [this](TUninstallStep Step) {
    if (OnStepDone) OnStepDone(Step);
  };
  auto message = [this](const std::string& Text) {
    if (OnMessage) OnMessage(Text);
  };
  RemoveAliases();
  done(usAliases);
  {
    TProgressShown shown(*this);
    RemoveActiveX();
  }
  done(usActiveX);
  {
    TProgressShown shown(*this);
    RemoveFiles();
  }
  done(usFiles);
  RemoveINIFiles();
  done(usINIFiles);
  RemoveBDE();
  done(usBDE);
  RemoveDirectories();
  if (!RemoveRegistryKeys()) message("Some or all of the registry keys could not could not be removed");
  done(usRegistry);
  // With its subkeys: parts a step left (aliases without the engine, the
  // engine's count, a partition after a gap) must not keep the product
  // listed once its uninstaller is gone.
  DeleteKey(hkLocalMachine, FUninstallKey);
  if (RemoveFile(OwnFile)) {
    message(FProductName + " has finished removing itself");
  } else {
    RemoveFileAfterBoot(OwnFile);
    message("The uninstallation program for " + FProductName + " will be removed after you reboot your computer.");
  }
}
