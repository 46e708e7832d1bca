// Archives in memory for the loader tests, made through the shared header
// serialiser and zlib, and a sink that keeps what the loader extracts.
#pragma once
#include <zlib.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "foundation/archive/lzhFormat.h"
#include "loader/LoaderCore.h"

namespace loadertest {

struct TEntry {
  std::string Name;
  std::string Data;
  double Date = 36000.5;
};

inline std::string Pack(const std::string& Data) {
  uLongf n = compressBound(static_cast<uLong>(Data.size()));
  std::string out(n, '\0');
  compress2(reinterpret_cast<Bytef*>(out.data()), &n, reinterpret_cast<const Bytef*>(Data.data()),
            static_cast<uLong>(Data.size()), 9);
  out.resize(n);
  return out;
}

// A single-volume archive as the setup program's writer lays it out. Count
// overrides the stored entry count when given.
inline std::vector<uint8_t> BuildArchive(const std::vector<TEntry>& Entries, std::optional<int32_t> Count = {}) {
  std::vector<uint8_t> out(lzh::kStartSize);
  lzh::EncodeStart({Count ? *Count : static_cast<int32_t>(Entries.size()), 0}, out.data());
  int32_t order = 0;
  for (const auto& e : Entries) {
    std::string packed = Pack(e.Data);
    lzh::TlzhFileHeader h;
    h.AddedOrder = ++order;
    h.Date = e.Date;
    h.FileName = e.Name;
    h.NormalSize = static_cast<int32_t>(e.Data.size());
    h.PackedSize = static_cast<int32_t>(packed.size());
    h.StartOffset = static_cast<int32_t>(out.size() + lzh::kHeaderSize);
    h.EndOffset = h.StartOffset + h.PackedSize - 1;
    h.NextHeaderOffset = h.EndOffset + 1;
    size_t at = out.size();
    out.resize(at + lzh::kHeaderSize);
    lzh::EncodeHeader(h, out.data() + at);
    out.insert(out.end(), packed.begin(), packed.end());
  }
  return out;
}

// Rewrites header Index (0-based) of a single-volume archive in place.
template <class F>
void ChangeHeader(std::vector<uint8_t>& Archive, int Index, F Change) {
  size_t at = lzh::kStartSize;
  for (int i = 0;; ++i) {
    lzh::TlzhFileHeader h;
    lzh::DecodeHeader(Archive.data() + at, h);
    if (i == Index) {
      Change(h);
      lzh::EncodeHeader(h, Archive.data() + at);
      return;
    }
    at = static_cast<size_t>(h.NextHeaderOffset);
  }
}

class TMemorySink : public loader::TExtractSink {
public:
  struct TFile {
    std::string Data;
    double Date = -1;
    bool Closed = false;
  };
  std::vector<std::string> Order;  // paths in the order they were made
  std::map<std::string, TFile> Files;
  std::vector<int> ProgressSeen;
  bool FailCreate = false;
  size_t WriteLimit = SIZE_MAX;  // bytes the "disk" takes in all

  bool CreateOutput(const std::string& Path) override {
    if (FailCreate) return false;
    FCurrent = Path;
    Order.push_back(Path);
    Files[Path] = TFile{};
    return true;
  }
  size_t WriteOutput(const uint8_t* Data, size_t Count) override {
    size_t n = Count < WriteLimit ? Count : WriteLimit;
    WriteLimit -= n;
    Files[FCurrent].Data.append(reinterpret_cast<const char*>(Data), n);
    return n;
  }
  void SetOutputDate(double Date) override { Files[FCurrent].Date = Date; }
  void CloseOutput() override { Files[FCurrent].Closed = true; }
  void Progress(int Percent) override { ProgressSeen.push_back(Percent); }

private:
  std::string FCurrent;
};

}  // namespace loadertest
