#include <gtest/gtest.h>

#include "foundation/routines/routines_API.h"

// Run by the harness with Wine reporting Windows 95 to this program.
TEST(ReportedVersion, HarnessSwitchReachesTheProgram) { EXPECT_EQ(GetWindowsVerType(), wvWin95); }
