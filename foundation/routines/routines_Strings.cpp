#include "foundation/routines/routines_Strings.h"

#include "classlib/base/PathBase.h"

std::string DirectoryWBS(const std::string& S) { return qbase::DirectoryWBS(S); }

std::string DirectoryWOBS(const std::string& S) { return qbase::DirectoryWOBS(S); }

int srColumns(const std::string& S, char Separator) {
  if (S.empty()) return 0;
  int count = 0;
  for (char c : S)
    if (c == Separator) ++count;
  if (S.back() != Separator) ++count;
  return count;
}

std::string srExtract(const std::string& S, int Column, char Separator) {
  std::string rest = S;
  for (int i = 1; i < Column; ++i) {
    size_t p = rest.find(Separator);
    if (p == std::string::npos) return {};
    rest.erase(0, p + 1);
  }
  size_t p = rest.find(Separator);
  return p == std::string::npos ? rest : rest.substr(0, p);
}

void StringToStringList(const std::string& Str, char Separator, TStrings* SL) {
  SL->Clear();
  int n = srColumns(Str, Separator);
  for (int i = 1; i <= n; ++i) SL->Add(srExtract(Str, i, Separator));
}

std::string StringListToString(const TStrings* SL, const std::string& Separator, bool Ending) {
  std::string r;
  for (int i = 0; i < SL->Count(); ++i) r += SL->Get(i) + Separator;
  // Without the ending, the last separator goes (all of it, whatever its length).
  if (!Ending && SL->Count() > 0) r.erase(r.size() - Separator.size());
  return r;
}

std::string StripDrive(const std::string& S) {
  size_t p = S.find(':');
  return p == std::string::npos ? S : S.substr(p + 1);
}

std::string StripNonFileChars(const std::string& S) {
  std::string r;
  for (char c : S) {
    switch (c) {
      case '/': r.push_back('-'); break;
      case '\\': case ':': case ';': case '*': case '?': case '"': case '<': case '>': case '|': break;
      default: r.push_back(c);
    }
  }
  return r;
}

std::string GetParameterAsPath(int StartIndex) {
  std::string r;
  const int last = ParamCount();
  for (int i = StartIndex < 0 ? 0 : StartIndex; i <= last; ++i) {
    if (!r.empty() || i > StartIndex) r += ' ';
    r += ParamStr(i);
  }
  return r;
}
