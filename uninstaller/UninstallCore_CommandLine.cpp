// The product name from the command line. Pure, so that the native build
// runs it too.
#include <vector>

#include "classlib/SysUtils.h"
#include "uninstaller/UninstallCore.h"

namespace {
std::string JoinTokens(const std::vector<std::string>& Tokens, size_t First) {
  std::string r;
  for (size_t i = First; i < Tokens.size(); ++i) {
    if (i > First) r += ' ';
    r += Tokens[i];
  }
  return r;
}

bool NamesOwnPath(const std::string& Prefix, const std::string& OwnPath) {
  if (OwnPath.empty()) return false;
  return SameText(Prefix, OwnPath) || SameText(Prefix + ".exe", OwnPath);
}
}  // namespace

std::string ProductNameFromCommandLine(const std::string& CmdLine, const std::string& OwnPath) {
  size_t start = 0;
  while (start < CmdLine.size() && static_cast<unsigned char>(CmdLine[start]) <= ' ') ++start;
  std::string line = CmdLine.substr(start);
  // An unquoted program path with blanks: the system found the program by
  // trying the line's prefixes, so the first prefix that names this program
  // is its path and the rest are the arguments.
  if (!line.empty() && line[0] != '"') {
    for (size_t p = 0; p <= line.size(); ++p) {
      if (p < line.size() && static_cast<unsigned char>(line[p]) > ' ') continue;
      if (NamesOwnPath(line.substr(0, p), OwnPath)) return JoinTokens(SplitCommandLine(line.substr(p)), 0);
    }
  }
  return JoinTokens(SplitCommandLine(line), 1);
}
