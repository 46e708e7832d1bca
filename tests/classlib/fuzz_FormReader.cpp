// Arbitrary text read as a form resource of the fixture module: an error is
// an EFormReadError (or an exception of the class library), never a crash, a
// hang or a leak.
#include <cstddef>
#include <cstdint>
#include <string>

#include "classlib/FormFixtures.h"
#include "classlib/FormReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  fixture::Log.clear();
  fixture::TFixtureModule module(nullptr);
  try {
    ReadComponentText(&module, text, "FUZZ");
  } catch (const Exception&) {
  }
  return 0;
}
