// Feeds arbitrary files to the loader's reading path: trailer, header area and
// extraction, as the loader runs them on its own file.
#include <cstddef>
#include <cstdint>

#include "loader/LoaderCore.h"

namespace {
class TNullSink : public loader::TExtractSink {
public:
  bool CreateOutput(const std::string&) override { return true; }
  size_t WriteOutput(const uint8_t*, size_t Count) override { return Count; }
  void SetOutputDate(double Date) override {
    uint32_t dos;
    loader::DateTimeToDosDateTime(Date, dos);
  }
  void CloseOutput() override {}
  void Progress(int Percent) override {
    if (Percent < 0 || Percent > 100) __builtin_trap();
  }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  loader::TMemorySource src(Data, Size);
  try {
    auto info = loader::ReadSelfExtractInfo(src);
    loader::TArchiveRange range{0, static_cast<int64_t>(Size) - 1};
    if (lzh::IsSelfExtracting(info)) range = loader::SelfExtractRange(info, src.Size(), "fuzz");
    auto headers = loader::ReadFileHeaders(src, range);
    if (headers.empty() || headers.size() > static_cast<size_t>(loader::MaxFiles)) __builtin_trap();
    TNullSink sink;
    loader::ExtractFiles(src, range, headers, "C:\\Work", sink);
  } catch (const loader::ELoader&) {
  }
  return 0;
}
