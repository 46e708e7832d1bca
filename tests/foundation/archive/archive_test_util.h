// Making source files and archives for the archive component's tests.
#pragma once
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "classlib/Streams.h"
#include "classlib/SysUtils.h"
#include "classlib/WinText.h"
#include "foundation/archive/cmp_TQlntCompress.h"
#include "foundation/exceptions_Quillant.h"

namespace archtest {

// A volume that takes at most Capacity bytes, like a disk that fills.
class TSmallVolume : public TStream {
public:
  TSmallVolume(const std::string& Name, int64_t Capacity) : FFile(Name, fmCreate), FCapacity(Capacity) {}
  int64_t Read(void* B, int64_t N) override { return FFile.Read(B, N); }
  int64_t Write(const void* B, int64_t N) override {
    int64_t room = std::max<int64_t>(0, FCapacity - FFile.Position());
    return FFile.Write(B, std::min(N, room));
  }
  int64_t Seek(int64_t O, TSeekOrigin S) override { return FFile.Seek(O, S); }

private:
  TFileStream FFile;
  int64_t FCapacity;
};

// Bytes that compress somewhat, like programs: runs of text among noise.
inline std::string Payload(size_t n, unsigned seed) {
  std::string s(n, '\0');
  uint32_t x = seed * 2654435761u + 1;
  for (size_t i = 0; i < n; ++i) {
    x = x * 1103515245u + 12345u;
    s[i] = (i / 64) % 3 == 0 ? static_cast<char>(x >> 24) : static_cast<char>("quillant archive "[i % 17]);
  }
  return s;
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  TFileStream f(path, fmCreate);
  if (!bytes.empty()) f.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
}

inline std::string ReadBytes(const std::string& path) {
  TFileStream f(path, fmOpenRead | fmShareDenyNone);
  std::string s(static_cast<size_t>(f.Size()), '\0');
  if (!s.empty()) f.ReadBuffer(s.data(), static_cast<int64_t>(s.size()));
  return s;
}

inline std::string Message(const std::function<void()>& f) {
  try {
    f();
  } catch (const Exception& e) {
    return e.Message;
  }
  return "<nothing raised>";
}

// Packs Files into Archive (a new archive unless Append).
inline void Pack(TQlntCompress& c, const std::string& Archive, const std::vector<std::string>& Files,
                 bool Append = false, TCompressionLevel Level = colMax) {
  c.SetCompressedFile(Archive);
  c.SetCompressionLevel(Level);
  c.FilesToProcess()->Clear();
  for (const auto& f : Files) c.FilesToProcess()->Add(f);
  c.Add(Append ? lzcOnlyAdd : lzcOverwrite);
}

inline TExtractOutcome Unpack(TQlntCompress& c, const std::string& Archive, const std::vector<std::string>& Names,
                              const std::string& Dir) {
  c.SetCompressedFile(Archive);
  c.SetExtractDirectory(Dir);
  c.FilesToProcess()->Clear();
  for (const auto& n : Names) c.FilesToProcess()->Add(n);
  return c.Extract();
}

}  // namespace archtest
