// Test programs start and stop the units as the real programs do.
#include <gtest/gtest.h>

#include <cstdio>

#include "classlib/Units.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  try {
    InitializeUnits();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "unit start-up failed: %s\n", e.what());
    return 1;
  }
  int rc = RUN_ALL_TESTS();
  FinalizeUnits();
  return rc;
}
