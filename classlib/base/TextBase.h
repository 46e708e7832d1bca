// Text as the system keeps it: UTF-8 in std::string, UTF-16 (wchar_t) at the
// Win32 edge. Works the same in the native build.
#pragma once
#include <cstddef>
#include <string>

namespace qbase {

// UTF-8 to wide characters; a byte that starts no valid sequence becomes
// U+FFFD, as the system's own conversion does.
std::wstring Utf8ToWide(const std::string& S);
std::string WideToUtf8(const wchar_t* S, size_t Length);
inline std::string WideToUtf8(const std::wstring& S) { return WideToUtf8(S.data(), S.size()); }

// The number of UTF-16 code units the UTF-8 text needs.
size_t Utf16Length(const std::string& Utf8);

// The length of the valid UTF-8 sequence starting at byte At; 1 for a byte
// that starts none (or At at the end).
size_t Utf8SequenceLength(const std::string& S, size_t At);
bool IsValidUtf8(const std::string& S);

// The first MaxChars characters; text that is no valid UTF-8 is cut by bytes.
std::string CutChars(const std::string& S, size_t MaxChars);
// At most MaxBytes bytes, never ending inside a character of valid UTF-8.
std::string CutBytes(const std::string& S, size_t MaxBytes);

// Bytes in the Windows ANSI code page (the system's on Windows, Windows-1252
// in the native build) as UTF-8.
std::string AnsiToUtf8(const std::string& Bytes);

}  // namespace qbase
