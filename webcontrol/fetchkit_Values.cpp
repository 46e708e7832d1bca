#include "webcontrol/fetchkit_Values.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "classlib/SysUtils.h"
#include "classlib/base/PathBase.h"

std::string FormatBytesTransferred(int64_t Bytes) {
  return Format("%0.0n bytes", {static_cast<double>(Bytes)});
}

namespace {
bool Span(const std::string& Text, const char*& First, const char*& Last) {
  std::string::size_type b = Text.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return false;
  std::string::size_type e = Text.find_last_not_of(" \t\r\n");
  First = Text.data() + b;
  Last = Text.data() + e + 1;
  if (*First == '+') ++First;  // from_chars takes no plus sign
  return First < Last;
}
}  // namespace

bool ParseInvariantFloat(const std::string& Text, double& Value) {
  const char* first;
  const char* last;
  if (!Span(Text, first, last)) return false;
  double v = 0;
  auto r = std::from_chars(first, last, v, std::chars_format::general);
  if (r.ec != std::errc() || r.ptr != last || !std::isfinite(v)) return false;
  Value = v;
  return true;
}

bool ParseInvariantInt32(const std::string& Text, int32_t& Value) {
  const char* first;
  const char* last;
  if (!Span(Text, first, last)) return false;
  int32_t v = 0;
  auto r = std::from_chars(first, last, v, 10);
  if (r.ec != std::errc() || r.ptr != last) return false;
  Value = v;
  return true;
}

bool SameSetupDate(double A, double B) {
  if (!std::isfinite(A) || !std::isfinite(B)) return false;
  return std::fabs(A - B) * 86400.0 <= 1.0;
}

bool IsPlainFileName(const std::string& Name) {
  if (Name.find_first_not_of(". ") == std::string::npos) return false;
  if (Name.find_first_of("\\/:<>\"|?*") != std::string::npos) return false;
  for (unsigned char c : Name)
    if (c < 0x20) return false;
  // "NUL.exe" or "com1" would send the download to a device, not a file.
  return !qbase::IsDeviceName(Name);
}

int ProgressPercent(int64_t Transferred, int64_t Size) {
  if (Size <= 0) return 0;
  double p = std::nearbyint(static_cast<double>(Transferred) * 100.0 / static_cast<double>(Size));
  if (p > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
  return static_cast<int>(p);
}
