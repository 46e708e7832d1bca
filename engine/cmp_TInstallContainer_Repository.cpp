// The IDE object-repository entries an install file carries. The entries
// themselves come with the Borland environment unit; until then a file's
// repository holds none and installs nothing.
#include "engine/cmp_TInstallContainer.h"

QNT_PUBLISH(TRepository);

void TRepository::Assign(const TPersistent* Source) {
  if (dynamic_cast<const TRepository*>(Source)) return;
  TPersistent::Assign(Source);
}
