#include "classlib/WinText.h"

#ifdef _WIN32
#include <windows.h>

std::wstring Widen(const std::string& s) {
  if (s.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  return w;
}

std::string Narrow(const wchar_t* s, size_t len) {
  if (len == 0) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, s, static_cast<int>(len), nullptr, 0, nullptr, nullptr);
  std::string r(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, s, static_cast<int>(len), r.data(), n, nullptr, nullptr);
  return r;
}

std::string SysErrorMessage(unsigned long code) {
  wchar_t* buf = nullptr;
  DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                               FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, code, 0, reinterpret_cast<wchar_t*>(&buf), 0, nullptr);
  std::string r;
  if (n && buf) {
    r = Narrow(buf, n);
    while (!r.empty() && (r.back() == '\n' || r.back() == '\r' || r.back() == ' ' || r.back() == '.'))
      r.pop_back();
  }
  if (buf) LocalFree(buf);
  return r;
}
#else
// Native builds (parsers under the sanitizers) use a plain UTF-8 <-> UTF-32 mapping.
std::wstring Widen(const std::string& s) {
  std::wstring w;
  for (size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    unsigned cp = c;
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    if (extra) cp = c & (0x3F >> extra);
    ++i;
    for (int k = 0; k < extra && i < s.size(); ++k, ++i)
      cp = (cp << 6) | (static_cast<unsigned char>(s[i]) & 0x3F);
    w.push_back(static_cast<wchar_t>(cp));
  }
  return w;
}

std::string Narrow(const wchar_t* s, size_t len) {
  std::string r;
  for (size_t i = 0; i < len; ++i) {
    unsigned cp = static_cast<unsigned>(s[i]);
    if (cp < 0x80) r.push_back(static_cast<char>(cp));
    else if (cp < 0x800) { r.push_back(static_cast<char>(0xC0 | (cp >> 6))); r.push_back(static_cast<char>(0x80 | (cp & 0x3F))); }
    else if (cp < 0x10000) { r.push_back(static_cast<char>(0xE0 | (cp >> 12))); r.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F))); r.push_back(static_cast<char>(0x80 | (cp & 0x3F))); }
    else { r.push_back(static_cast<char>(0xF0 | (cp >> 18))); r.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F))); r.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F))); r.push_back(static_cast<char>(0x80 | (cp & 0x3F))); }
  }
  return r;
}
#endif

std::string Narrow(const std::wstring& s) { return Narrow(s.data(), s.size()); }
