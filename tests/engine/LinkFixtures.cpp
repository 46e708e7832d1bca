#include "LinkFixtures.h"

namespace linkfixtures {
QNT_PUBLISH(TInstallFile, Prop::String("DestName", &TInstallFile::GetDestName, &TInstallFile::SetDestName));
QNT_PUBLISH(TUninstallEXE);
QNT_PUBLISH(TInstallFileGroup,
            Prop::String("GroupName", &TInstallFileGroup::GetGroupName, &TInstallFileGroup::SetGroupName));
}  // namespace linkfixtures
