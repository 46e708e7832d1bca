// UTF-8 inside, UTF-16 at the Win32 edge.
#pragma once
#include <string>

std::wstring Widen(const std::string& s);
std::string Narrow(const std::wstring& s);
std::string Narrow(const wchar_t* s, size_t len);
#ifdef _WIN32
// The message of a Win32 error code, as the system words it.
std::string SysErrorMessage(unsigned long code);
#endif
