// The class library's system utilities: the exception root, Format, string
// helpers, file tests and the command line.
#pragma once
#include <cstdint>
#include <exception>
#include <string>
#include <vector>

// One argument of Format: the class library's variant record.
class TVarRec {
public:
  enum class Kind { Int, Float, String, Pointer, Char };
  TVarRec(int v) : kind(Kind::Int), i(v) {}
  TVarRec(long v) : kind(Kind::Int), i(v) {}
  TVarRec(long long v) : kind(Kind::Int), i(v) {}
  TVarRec(unsigned v) : kind(Kind::Int), i(v) {}
  TVarRec(unsigned long v) : kind(Kind::Int), i(static_cast<long long>(v)) {}
  TVarRec(unsigned long long v) : kind(Kind::Int), i(static_cast<long long>(v)) {}
  TVarRec(double v) : kind(Kind::Float), f(v) {}
  TVarRec(char c) : kind(Kind::Char), s(1, c) {}
  TVarRec(const char* v) : kind(Kind::String), s(v ? v : "") {}
  TVarRec(const std::string& v) : kind(Kind::String), s(v) {}
  TVarRec(const void* p) : kind(Kind::Pointer), i(static_cast<long long>(reinterpret_cast<uintptr_t>(p))) {}
  Kind kind;
  long long i = 0;
  double f = 0;
  std::string s;
};
using TVarRecs = std::vector<TVarRec>;

class Exception : public std::exception {
public:
  explicit Exception(std::string msg) : Message(std::move(msg)) {}
  // The formatting constructor (CreateFmt).
  Exception(const std::string& fmt, const TVarRecs& args);
  ~Exception() override = default;
  const char* what() const noexcept override { return Message.c_str(); }
  std::string Message;
};

// The silent abort: handlers that see it show nothing.
class EAbort : public Exception {
public:
  using Exception::Exception;
};
class EConvertError : public Exception {
public:
  using Exception::Exception;
};
class EOSError : public Exception {
public:
  using Exception::Exception;
  uint32_t ErrorCode = 0;
};

// Raises EAbort with the class library's message "Operation aborted".
[[noreturn]] void Abort();

// Delphi-compatible Format: %[index:][-][width][.prec]type with the types
// d u x s f e g n p and %%; '*' takes width or precision from the
// arguments. A specifier that does not fit its argument raises EConvertError.
std::string Format(const std::string& fmt, const TVarRecs& args);

std::string IntToStr(long long v);
std::string IntToHex(unsigned long long v, int digits);
long long StrToInt(const std::string& s);                 // EConvertError on anything but an integer
long long StrToIntDef(const std::string& s, long long def);
bool TryStrToInt(const std::string& s, long long& out);
std::string Trim(const std::string& s);
std::string TrimLeft(const std::string& s);
std::string TrimRight(const std::string& s);
std::string UpperCase(const std::string& s);               // ASCII letters only
std::string LowerCase(const std::string& s);
int CompareText(const std::string& a, const std::string& b); // ASCII, case-insensitive
bool SameText(const std::string& a, const std::string& b);
bool IsValidIdent(const std::string& s);
std::string StringReplaceAll(const std::string& s, const std::string& from, const std::string& to);

// Paths (backslash-separated, Windows style).
std::string ExtractFilePath(const std::string& path);  // with the trailing backslash
std::string ExtractFileDir(const std::string& path);   // without it
std::string ExtractFileName(const std::string& path);
std::string ExtractFileExt(const std::string& path);
std::string ChangeFileExt(const std::string& path, const std::string& ext);
std::string IncludeTrailingBackslash(const std::string& s);
std::string ExcludeTrailingBackslash(const std::string& s);

bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
bool RemoveFile(const std::string& path);
bool ForceDirectories(const std::string& path);
std::string GetCurrentDir();
bool SetCurrentDir(const std::string& dir);

// The command line by the class library's rules: blanks separate, double
// quotes group and are removed, backslashes are plain characters.
// ParamStr(0) is the program's own path as the system gives it.
int ParamCount();
std::string ParamStr(int index);
// The same rules over a given command line (index 0 is its first token).
std::vector<std::string> SplitCommandLine(const std::string& cmdline);
