// The values the web-install control reads from a page or shows: portable
// (the native build tests and runs them under the sanitizers).
#pragma once
#include <cstdint>
#include <string>

// "1,234,567 bytes": the byte count with thousands separators.
std::string FormatBytesTransferred(int64_t Bytes);

// A page parameter's number, written the same way on every system (a point
// before the fraction, whatever the user's locale says); blanks around it
// are allowed, nothing else.
bool ParseInvariantFloat(const std::string& Text, double& Value);
bool ParseInvariantInt32(const std::string& Text, int32_t& Value);

// Two date-times (days since 1899-12-30) that name the same moment within
// one second: a day count written in decimal text seldom reads back to the
// very same double, and file dates are held to two seconds anyway.
bool SameSetupDate(double A, double B);

// A name that stays inside the folder it is joined to: not empty, not made
// of dots and blanks alone (".", ".."), without a drive, a path separator or
// a character no file name may hold, and not a device's name ("CON",
// "nul.exe", "COM1 .txt": the part before the first dot, blanks dropped).
bool IsPlainFileName(const std::string& Name);

// The percentage of Size that Transferred is, rounded to the nearest integer
// (a half to the even neighbour), not capped at 100; 0 when the size is
// unknown (0 or less).
int ProgressPercent(int64_t Transferred, int64_t Size);
