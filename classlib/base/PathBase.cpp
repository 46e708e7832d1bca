#include "classlib/base/PathBase.h"

namespace qbase {

std::string DirectoryWBS(const std::string& S) {
  if (S.empty() || S.back() == '\\') return S;
  return S + "\\";
}

std::string DirectoryWOBS(const std::string& S) {
  if (!S.empty() && S.back() == '\\') return S.substr(0, S.size() - 1);
  return S;
}

std::string ExtractName(const std::string& Path) {
  size_t p = Path.find_last_of("\\/:");
  return p == std::string::npos ? Path : Path.substr(p + 1);
}

std::string ExtractDir(const std::string& Path) {
  size_t p = Path.find_last_of("\\/:");
  if (p == std::string::npos) return std::string();
  // "A:setup.exe" keeps its colon; "A:\setup.exe" loses the backslash.
  return DirectoryWOBS(Path.substr(0, p + 1));
}

bool IsDeviceName(const std::string& Name) {
  // The stem: up to the first dot, without the blanks the system drops.
  std::string stem = Name.substr(0, Name.find('.'));
  size_t b = stem.find_first_not_of(' '), e = stem.find_last_not_of(' ');
  stem = b == std::string::npos ? std::string() : stem.substr(b, e - b + 1);
  for (char& c : stem)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  for (const char* d : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
    if (stem == d) return true;
  if (stem.size() < 4 || (stem.compare(0, 3, "COM") != 0 && stem.compare(0, 3, "LPT") != 0)) return false;
  std::string digit = stem.substr(3);
  // U+00B9, U+00B2, U+00B3: the superscript digits the system also counts.
  return (digit.size() == 1 && digit[0] >= '0' && digit[0] <= '9') || digit == "\xC2\xB9" || digit == "\xC2\xB2" ||
         digit == "\xC2\xB3";
}

std::vector<std::string> SplitArguments(const std::string& CommandLine) {
  std::vector<std::string> result;
  size_t i = 0, n = CommandLine.size();
  for (;;) {
    while (i < n && static_cast<unsigned char>(CommandLine[i]) <= ' ') ++i;
    if (i >= n) break;
    std::string token;
    bool quoted = false;
    while (i < n && (quoted || static_cast<unsigned char>(CommandLine[i]) > ' ')) {
      if (CommandLine[i] == '"')
        quoted = !quoted;
      else
        token.push_back(CommandLine[i]);
      ++i;
    }
    result.push_back(token);
  }
  return result;
}

}  // namespace qbase
