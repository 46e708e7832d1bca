#include "classlib/base/TextBase.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace qbase {

namespace {

void PutUtf8(std::string& Out, unsigned Cp) {
  if (Cp < 0x80) {
    Out.push_back(static_cast<char>(Cp));
  } else if (Cp < 0x800) {
    Out.push_back(static_cast<char>(0xC0 | (Cp >> 6)));
    Out.push_back(static_cast<char>(0x80 | (Cp & 0x3F)));
  } else if (Cp < 0x10000) {
    Out.push_back(static_cast<char>(0xE0 | (Cp >> 12)));
    Out.push_back(static_cast<char>(0x80 | ((Cp >> 6) & 0x3F)));
    Out.push_back(static_cast<char>(0x80 | (Cp & 0x3F)));
  } else {
    Out.push_back(static_cast<char>(0xF0 | (Cp >> 18)));
    Out.push_back(static_cast<char>(0x80 | ((Cp >> 12) & 0x3F)));
    Out.push_back(static_cast<char>(0x80 | ((Cp >> 6) & 0x3F)));
    Out.push_back(static_cast<char>(0x80 | (Cp & 0x3F)));
  }
}

void PutWide(std::wstring& Out, unsigned Cp) {
  if (sizeof(wchar_t) == 2 && Cp >= 0x10000) {
    Cp -= 0x10000;
    Out.push_back(static_cast<wchar_t>(0xD800 + (Cp >> 10)));
    Out.push_back(static_cast<wchar_t>(0xDC00 + (Cp & 0x3FF)));
  } else {
    Out.push_back(static_cast<wchar_t>(Cp));
  }
}

// The code point of the valid sequence at At (Length bytes).
unsigned Decode(const std::string& S, size_t At, size_t Length) {
  unsigned c = static_cast<unsigned char>(S[At]);
  if (Length == 1) return c;
  unsigned cp = c & (0x7F >> Length);
  for (size_t k = 1; k < Length; ++k) cp = (cp << 6) | (static_cast<unsigned char>(S[At + k]) & 0x3F);
  return cp;
}

}  // namespace

size_t Utf8SequenceLength(const std::string& S, size_t At) {
  if (At >= S.size()) return 1;
  unsigned c = static_cast<unsigned char>(S[At]);
  if (c < 0x80) return 1;
  size_t n = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
  if (n == 0 || At + n > S.size()) return 1;
  for (size_t k = 1; k < n; ++k)
    if ((static_cast<unsigned char>(S[At + k]) & 0xC0) != 0x80) return 1;
  unsigned second = static_cast<unsigned char>(S[At + 1]);
  // Overlong forms, surrogates and code points beyond U+10FFFF are no UTF-8.
  if ((c == 0xE0 && second < 0xA0) || (c == 0xED && second > 0x9F) || (c == 0xF0 && second < 0x90) ||
      (c == 0xF4 && second > 0x8F))
    return 1;
  return n;
}

bool IsValidUtf8(const std::string& S) {
  for (size_t i = 0; i < S.size();) {
    size_t n = Utf8SequenceLength(S, i);
    if (n == 1 && static_cast<unsigned char>(S[i]) >= 0x80) return false;
    i += n;
  }
  return true;
}

std::wstring Utf8ToWide(const std::string& S) {
  std::wstring w;
  w.reserve(S.size());
  for (size_t i = 0; i < S.size();) {
    size_t n = Utf8SequenceLength(S, i);
    unsigned c = static_cast<unsigned char>(S[i]);
    PutWide(w, n == 1 && c >= 0x80 ? 0xFFFD : Decode(S, i, n));
    i += n;
  }
  return w;
}

std::string WideToUtf8(const wchar_t* S, size_t Length) {
  std::string r;
  r.reserve(Length);
  for (size_t i = 0; i < Length; ++i) {
    unsigned cp = static_cast<unsigned>(S[i]);
    if (sizeof(wchar_t) == 2) cp &= 0xFFFF;
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < Length) {
      unsigned lo = static_cast<unsigned>(S[i + 1]) & 0xFFFF;
      if (lo >= 0xDC00 && lo <= 0xDFFF) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
        ++i;
      }
    }
    if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = 0xFFFD;  // a lone surrogate
    PutUtf8(r, cp);
  }
  return r;
}

size_t Utf16Length(const std::string& Utf8) {
  size_t n = 0;
  for (size_t i = 0; i < Utf8.size();) {
    size_t len = Utf8SequenceLength(Utf8, i);
    n += len == 4 ? 2 : 1;  // four-byte sequences need a surrogate pair
    i += len;
  }
  return n;
}

std::string CutChars(const std::string& S, size_t MaxChars) {
  if (!IsValidUtf8(S)) return S.substr(0, MaxChars);
  size_t i = 0;
  for (size_t chars = 0; i < S.size() && chars < MaxChars; ++chars) i += Utf8SequenceLength(S, i);
  return S.substr(0, i);
}

std::string CutBytes(const std::string& S, size_t MaxBytes) {
  if (S.size() <= MaxBytes) return S;
  size_t i = 0;
  while (i < S.size()) {
    size_t n = Utf8SequenceLength(S, i);
    if (i + n > MaxBytes) break;
    i += n;
  }
  return S.substr(0, i);
}

std::string AnsiToUtf8(const std::string& Bytes) {
  if (Bytes.empty()) return {};
#ifdef _WIN32
  int n = MultiByteToWideChar(CP_ACP, 0, Bytes.data(), static_cast<int>(Bytes.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, Bytes.data(), static_cast<int>(Bytes.size()), w.data(), n);
  return WideToUtf8(w);
#else
  // Windows-1252: Latin-1 but for 0x80..0x9F.
  static const unsigned short high[32] = {0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                          0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD,
                                          0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                          0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};
  std::string r;
  for (unsigned char c : Bytes) PutUtf8(r, c >= 0x80 && c < 0xA0 ? high[c - 0x80] : c);
  return r;
#endif
}

}  // namespace qbase
