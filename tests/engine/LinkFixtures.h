// A stand-in for the uninstaller component, which shortcuts know by its
// class name: an install file under that name.
#pragma once
#include "engine/cmp_TInstallContainer.h"

namespace linkfixtures {

class TUninstallEXE : public TInstallFile {
  QNT_PUBLISHED(TUninstallEXE, TInstallFile)
public:
  using TInstallFile::TInstallFile;
};

}  // namespace linkfixtures
