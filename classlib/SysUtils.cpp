#include "classlib/SysUtils.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "classlib/base/PathBase.h"
#include "classlib/WinText.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#include <fstream>
#endif

Exception::Exception(const std::string& fmt, const TVarRecs& args) : Message(Format(fmt, args)) {}

void Abort() { throw EAbort("Operation aborted"); }

namespace {

[[noreturn]] void InvalidFormat(const std::string& fmt) {
  throw EConvertError("Format '" + fmt + "' invalid or incompatible with argument");
}

std::string Pad(std::string body, int width, bool left) {
  if (width > 0 && static_cast<int>(body.size()) < width) {
    std::string fill(static_cast<size_t>(width) - body.size(), ' ');
    body = left ? body + fill : fill + body;
  }
  return body;
}

// Integers that fit 32 bits print as the class library's Integer does when
// shown unsigned or in hex: as their 32-bit two's complement.
unsigned long long AsUnsigned(long long v) {
  if (v < 0 && v >= INT32_MIN) return static_cast<uint32_t>(static_cast<int32_t>(v));
  return static_cast<unsigned long long>(v);
}

std::string MinDigits(std::string digits, int prec) {
  if (prec > 0 && static_cast<int>(digits.size()) < prec)
    digits.insert(0, static_cast<size_t>(prec) - digits.size(), '0');
  return digits;
}

std::string Printf(const char* spec, int prec, double v) {
  char buf[512];
  int n = std::snprintf(buf, sizeof buf, spec, prec, v);
  if (n < 0) return {};
  if (n >= static_cast<int>(sizeof buf)) {
    std::string big(static_cast<size_t>(n) + 1, '\0');
    std::snprintf(big.data(), big.size(), spec, prec, v);
    big.resize(static_cast<size_t>(n));
    return big;
  }
  return std::string(buf, static_cast<size_t>(n));
}

std::string Thousands(const std::string& fixed) {
  size_t start = (fixed.size() && fixed[0] == '-') ? 1 : 0;
  size_t dot = fixed.find('.');
  if (dot == std::string::npos) dot = fixed.size();
  std::string intpart = fixed.substr(start, dot - start), out;
  int count = 0;
  for (size_t i = intpart.size(); i-- > 0;) {
    out.insert(out.begin(), intpart[i]);
    if (++count % 3 == 0 && i > 0) out.insert(out.begin(), ',');
  }
  return fixed.substr(0, start) + out + fixed.substr(dot);
}

}  // namespace

namespace {

// One conversion of a format string: "%" [index ":"] ["-"] [width] ["." prec] type.
struct TFormatSpec {
  bool Left = false;
  int Width = 0;
  int Prec = -1;
  char Type = 0;  // lower case
};

// Walks a format string once, taking the arguments in turn.
class TFormatter {
public:
  TFormatter(const std::string& Fmt, const TVarRecs& Args) : fmt(Fmt), args(Args), n(Fmt.size()) {}

  std::string Run() {
    std::string out;
    while (i < n) {
      if (fmt[i] != '%') {
        out.push_back(fmt[i++]);
        continue;
      }
      ++i;
      if (i >= n) InvalidFormat(fmt);
      if (fmt[i] == '%') {
        out.push_back('%');
        ++i;
        continue;
      }
      const TFormatSpec spec = ReadSpec();
      out += Pad(Convert(spec, NextArgument()), spec.Width, spec.Left);
    }
    return out;
  }

private:
  const std::string& fmt;
  const TVarRecs& args;
  const size_t n;
  size_t i = 0;
  size_t argIndex = 0;

  // Digits at i, refused past 100000 (a width or index no text needs).
  long ReadDigits() {
    long v = 0;
    while (i < n && std::isdigit(static_cast<unsigned char>(fmt[i]))) {
      v = v * 10 + (fmt[i] - '0');
      if (v > 100000) InvalidFormat(fmt);
      ++i;
    }
    return v;
  }

  // "n:" moves the next argument to index n; digits without the colon are
  // the width, read again by ReadNumber.
  void ReadArgumentIndex() {
    if (i >= n || !std::isdigit(static_cast<unsigned char>(fmt[i]))) return;
    const size_t start = i;
    const long idx = ReadDigits();
    if (i < n && fmt[i] == ':') {
      argIndex = static_cast<size_t>(idx);
      ++i;
    } else {
      i = start;
    }
  }

  // A width or precision: "*" takes it from the next argument (an integer).
  void ReadNumber(int& Value) {
    if (i < n && fmt[i] == '*') {
      if (argIndex >= args.size() || args[argIndex].kind != TVarRec::Kind::Int) InvalidFormat(fmt);
      Value = static_cast<int>(args[argIndex++].i);
      ++i;
    } else if (i < n && std::isdigit(static_cast<unsigned char>(fmt[i]))) {
      Value = static_cast<int>(ReadDigits());
    }
  }

  TFormatSpec ReadSpec() {
    TFormatSpec spec;
    ReadArgumentIndex();
    if (i < n && fmt[i] == '-') {
      spec.Left = true;
      ++i;
    }
    ReadNumber(spec.Width);
    if (i < n && fmt[i] == '.') {
      ++i;
      spec.Prec = 0;
      ReadNumber(spec.Prec);
    }
    if (i >= n) InvalidFormat(fmt);
    spec.Type = static_cast<char>(std::tolower(static_cast<unsigned char>(fmt[i])));
    ++i;
    return spec;
  }

  const TVarRec& NextArgument() {
    if (argIndex >= args.size()) throw EConvertError("No argument for format '" + fmt + "'");
    return args[argIndex++];
  }

  void Expect(const TVarRec& A, TVarRec::Kind Kind) const {
    if (A.kind != Kind) InvalidFormat(fmt);
  }

  std::string Convert(const TFormatSpec& Spec, const TVarRec& A) const {
    switch (Spec.Type) {
      case 'd':
        Expect(A, TVarRec::Kind::Int);
        if (A.i < 0) return "-" + MinDigits(std::to_string(static_cast<unsigned long long>(-(A.i + 1)) + 1), Spec.Prec);
        return MinDigits(std::to_string(A.i), Spec.Prec);
      case 'u':
        Expect(A, TVarRec::Kind::Int);
        return MinDigits(std::to_string(AsUnsigned(A.i)), Spec.Prec);
      case 'x':
        Expect(A, TVarRec::Kind::Int);
        return IntToHex(AsUnsigned(A.i), Spec.Prec < 0 ? 0 : Spec.Prec);
      case 'p':
        Expect(A, TVarRec::Kind::Pointer);
        return IntToHex(static_cast<unsigned long long>(A.i), static_cast<int>(sizeof(void*) * 2));
      case 's': {
        if (A.kind != TVarRec::Kind::String && A.kind != TVarRec::Kind::Char) InvalidFormat(fmt);
        std::string body = A.s;
        if (Spec.Prec >= 0 && static_cast<size_t>(Spec.Prec) < body.size()) body.resize(static_cast<size_t>(Spec.Prec));
        return body;
      }
      case 'f':
      case 'n':
      case 'e':
      case 'g':
        Expect(A, TVarRec::Kind::Float);
        return ConvertFloat(Spec, A.f);
      default:
        InvalidFormat(fmt);
    }
  }

  static std::string ConvertFloat(const TFormatSpec& Spec, double V) {
    if (Spec.Type == 'f') return Printf("%.*f", Spec.Prec < 0 ? 2 : Spec.Prec, V);
    if (Spec.Type == 'n') return Thousands(Printf("%.*f", Spec.Prec < 0 ? 2 : Spec.Prec, V));
    const int p = Spec.Prec < 0 ? 15 : (Spec.Prec == 0 ? 1 : Spec.Prec);
    if (Spec.Type == 'g') return Printf("%.*G", p, V);
    std::string body = Printf("%.*E", p - 1, V);
    // The class library writes at least three exponent digits.
    size_t e = body.find('E');
    if (e != std::string::npos && e + 2 < body.size()) {
      std::string digits = body.substr(e + 2);
      while (digits.size() < 3) digits.insert(digits.begin(), '0');
      body = body.substr(0, e + 2) + digits;
    }
    return body;
  }
};

}  // namespace

std::string Format(const std::string& fmt, const TVarRecs& args) { return TFormatter(fmt, args).Run(); }

std::string IntToStr(long long v) { return std::to_string(v); }

std::string IntToHex(unsigned long long v, int digits) {
  static const char hex[] = "0123456789ABCDEF";
  std::string r;
  do {
    r.insert(r.begin(), hex[v & 15]);
    v >>= 4;
  } while (v);
  return MinDigits(r, digits);
}

bool TryStrToInt(const std::string& s, long long& out) {
  std::string t = Trim(s);
  if (t.empty()) return false;
  size_t i = 0;
  bool neg = false;
  if (t[0] == '-' || t[0] == '+') {
    neg = t[0] == '-';
    i = 1;
  }
  int base = 10;
  if (i < t.size() && t[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < t.size() && t[i] == '0' && (t[i + 1] == 'x' || t[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= t.size()) return false;
  unsigned long long v = 0;
  for (; i < t.size(); ++i) {
    int d;
    char c = t[i];
    if (c >= '0' && c <= '9') d = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else return false;
    // Checked before multiplying, so a long number cannot wrap around.
    if (v > (static_cast<unsigned long long>(LLONG_MAX) + 1 - static_cast<unsigned>(d)) / static_cast<unsigned>(base))
      return false;
    v = v * static_cast<unsigned>(base) + static_cast<unsigned>(d);
  }
  if (!neg && v > static_cast<unsigned long long>(LLONG_MAX)) return false;
  out = neg ? static_cast<long long>(0 - v) : static_cast<long long>(v);
  return true;
}

long long StrToInt(const std::string& s) {
  long long v;
  if (!TryStrToInt(s, v)) throw EConvertError("'" + s + "' is not a valid integer value");
  return v;
}

long long StrToIntDef(const std::string& s, long long def) {
  long long v;
  return TryStrToInt(s, v) ? v : def;
}

// The class library trims every control character and blank (<= ' ').
std::string TrimLeft(const std::string& s) {
  size_t b = 0;
  while (b < s.size() && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  return s.substr(b);
}

std::string TrimRight(const std::string& s) {
  size_t e = s.size();
  while (e > 0 && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return s.substr(0, e);
}

std::string Trim(const std::string& s) { return TrimRight(TrimLeft(s)); }

std::string UpperCase(const std::string& s) {
  std::string r = s;
  for (char& c : r)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return r;
}

std::string LowerCase(const std::string& s) {
  std::string r = s;
  for (char& c : r)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return r;
}

int CompareText(const std::string& a, const std::string& b) {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 32);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool SameText(const std::string& a, const std::string& b) { return CompareText(a, b) == 0; }

bool IsValidIdent(const std::string& s) {
  if (s.empty()) return false;
  auto alpha = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; };
  if (!alpha(s[0])) return false;
  for (char c : s)
    if (!alpha(c) && !(c >= '0' && c <= '9')) return false;
  return true;
}

std::string StringReplaceAll(const std::string& s, const std::string& from, const std::string& to) {
  if (from.empty()) return s;
  std::string r;
  size_t pos = 0;
  for (;;) {
    size_t f = s.find(from, pos);
    if (f == std::string::npos) break;
    r.append(s, pos, f - pos);
    r += to;
    pos = f + from.size();
  }
  r.append(s, pos, std::string::npos);
  return r;
}

namespace {
size_t LastDelimiter(const std::string& path, const char* delims) {
  size_t p = path.find_last_of(delims);
  return p;
}
}  // namespace

std::string ExtractFilePath(const std::string& path) {
  size_t p = LastDelimiter(path, "\\:");
  return p == std::string::npos ? std::string() : path.substr(0, p + 1);
}

std::string ExtractFileDir(const std::string& path) {
  size_t p = LastDelimiter(path, "\\:");
  if (p == std::string::npos) return {};
  // Keep "C:\" whole and a drive alone ("C:").
  if (p > 0 && path[p] == '\\' && path[p - 1] != ':' && path[p - 1] != '\\') return path.substr(0, p);
  return path.substr(0, p + 1);
}

std::string ExtractFileName(const std::string& path) {
  size_t p = LastDelimiter(path, "\\:");
  return p == std::string::npos ? path : path.substr(p + 1);
}

std::string ExtractFileExt(const std::string& path) {
  size_t p = LastDelimiter(path, ".\\:");
  if (p == std::string::npos || path[p] != '.') return {};
  return path.substr(p);
}

std::string ChangeFileExt(const std::string& path, const std::string& ext) {
  size_t p = LastDelimiter(path, ".\\:");
  if (p == std::string::npos || path[p] != '.') return path + ext;
  return path.substr(0, p) + ext;
}

std::string IncludeTrailingBackslash(const std::string& s) {
  return (!s.empty() && s.back() == '\\') ? s : s + "\\";
}

std::string ExcludeTrailingBackslash(const std::string& s) {
  return (!s.empty() && s.back() == '\\') ? s.substr(0, s.size() - 1) : s;
}

std::vector<std::string> SplitCommandLine(const std::string& cmdline) { return qbase::SplitArguments(cmdline); }

#ifdef _WIN32

bool FileExists(const std::string& path) {
  DWORD a = GetFileAttributesW(Widen(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::string& path) {
  DWORD a = GetFileAttributesW(Widen(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool RemoveFile(const std::string& path) { return DeleteFileW(Widen(path).c_str()) != 0; }

bool ForceDirectories(const std::string& path) {
  std::string dir = ExcludeTrailingBackslash(path);
  if (dir.empty() || DirectoryExists(dir)) return !dir.empty();
  std::string parent = ExtractFileDir(dir);
  if (!parent.empty() && parent != dir && !ForceDirectories(parent)) return false;
  return CreateDirectoryW(Widen(dir).c_str(), nullptr) != 0 || DirectoryExists(dir);
}

std::string GetCurrentDir() {
  wchar_t buf[MAX_PATH * 4];
  DWORD n = GetCurrentDirectoryW(static_cast<DWORD>(std::size(buf)), buf);
  return (n == 0 || n >= std::size(buf)) ? std::string() : Narrow(buf, n);
}

bool SetCurrentDir(const std::string& dir) { return SetCurrentDirectoryW(Widen(dir).c_str()) != 0; }

namespace {
std::vector<std::string> CommandLineArgs() {
  const wchar_t* cl = GetCommandLineW();
  return SplitCommandLine(Narrow(std::wstring(cl ? cl : L"")));
}
}  // namespace

int ParamCount() {
  auto a = CommandLineArgs();
  return a.empty() ? 0 : static_cast<int>(a.size()) - 1;
}

std::string ParamStr(int index) {
  if (index == 0) {
    std::wstring buf(32768, L'\0');
    DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    return Narrow(buf.data(), n);
  }
  auto a = CommandLineArgs();
  if (index < 0 || index >= static_cast<int>(a.size())) return {};
  return a[static_cast<size_t>(index)];
}

#else

bool FileExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool RemoveFile(const std::string& path) { return unlink(path.c_str()) == 0; }

bool ForceDirectories(const std::string& path) {
  if (path.empty()) return false;
  if (DirectoryExists(path)) return true;
  size_t p = path.find_last_of('/');
  if (p != std::string::npos && p > 0 && !ForceDirectories(path.substr(0, p))) return false;
  return mkdir(path.c_str(), 0777) == 0 || DirectoryExists(path);
}

std::string GetCurrentDir() {
  char buf[4096];
  return getcwd(buf, sizeof buf) ? std::string(buf) : std::string();
}

bool SetCurrentDir(const std::string& dir) { return chdir(dir.c_str()) == 0; }

namespace {
std::vector<std::string> CommandLineArgs() {
  std::ifstream f("/proc/self/cmdline", std::ios::binary);
  std::vector<std::string> a;
  std::string tok;
  while (std::getline(f, tok, '\0')) a.push_back(tok);
  return a;
}
}  // namespace

int ParamCount() {
  auto a = CommandLineArgs();
  return a.empty() ? 0 : static_cast<int>(a.size()) - 1;
}

std::string ParamStr(int index) {
  if (index == 0) {
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
  }
  auto a = CommandLineArgs();
  if (index < 0 || index >= static_cast<int>(a.size())) return {};
  return a[static_cast<size_t>(index)];
}

#endif
