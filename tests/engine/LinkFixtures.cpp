#include "LinkFixtures.h"

namespace linkfixtures {
QNT_PUBLISH(TUninstallEXE);
}  // namespace linkfixtures
