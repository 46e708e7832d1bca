#include "classlib/WinText.h"

#include "classlib/base/TextBase.h"

#ifdef _WIN32
#include <windows.h>
#endif

std::wstring Widen(const std::string& s) { return qbase::Utf8ToWide(s); }

std::string Narrow(const wchar_t* s, size_t len) { return qbase::WideToUtf8(s, len); }

std::string Narrow(const std::wstring& s) { return Narrow(s.data(), s.size()); }

#ifdef _WIN32
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
#endif
