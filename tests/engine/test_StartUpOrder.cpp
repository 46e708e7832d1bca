// Start-up order: a unit whose start-up code runs ahead of the engine's (a
// unit linked after the engine library runs first under some linkers, as in
// an author's setup built against the installed library) registers its
// classes. Their published defaults must still be the declared ones.
#include <gtest/gtest.h>

#include <memory>

#include "TreeFixtures.h"

namespace {
// Runs before every unit at the default priority, the engine's enumeration
// names included.
__attribute__((init_priority(101))) const typinfo_detail::TAutoRegistration EarlyUnit(&TTestGroup::StaticClassInfo);
}  // namespace

TEST(TreeStartUp, AClassRegisteredAheadOfTheEngineKeepsItsDefaults) {
  for (const char* name : {"TInstallObject", "TTestGroup", "TTestFile", "TTestLinkFolder", "TTestLink", "TTestPage"}) {
    const TClassInfo* info = FindClassInfo(name);
    ASSERT_NE(info, nullptr) << name;
    ASSERT_NE(info->Creator(), nullptr) << name;
    TComponent owner(nullptr);
    TComponent* fresh = info->Creator()(&owner);
    std::vector<std::string> differing = PropsDifferingFromDefaults(fresh);
    EXPECT_TRUE(differing.empty()) << name << ": " << differing.front() << " = "
                                   << GetPropText(fresh, differing.front()) << ", declared "
                                   << info->FindProp(differing.front())->Default;
  }
}
