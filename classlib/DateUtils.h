// TDateTime: days since 1899-12-30 as a double, the time of day as the
// fraction. Every conversion between file times, local time and DOS
// date-times lives here, so all comparisons of file dates use one arithmetic.
#pragma once
#include <cstdint>
#include <string>

using TDateTime = double;

// EConvertError for a date or time that does not exist.
TDateTime EncodeDate(int Year, int Month, int Day);
TDateTime EncodeTime(int Hour, int Min, int Sec, int MSec);
bool TryEncodeDate(int Year, int Month, int Day, TDateTime& Out);
bool TryEncodeTime(int Hour, int Min, int Sec, int MSec, TDateTime& Out);
void DecodeDate(TDateTime D, int& Year, int& Month, int& Day);
void DecodeTime(TDateTime D, int& Hour, int& Min, int& Sec, int& MSec);
bool IsLeapYear(int Year);

// A DOS date-time: date in the high word, time in the low word, local time,
// seconds in 2-second steps.
TDateTime FileDateToDateTime(int32_t DosDateTime);  // EConvertError when invalid (e.g. -1)
int32_t DateTimeToFileDate(TDateTime D);             // 0 outside 1980..2107

// FILETIME: 100-ns ticks since 1601-01-01, no time-zone change.
TDateTime FileTimeToDateTime(uint64_t FileTime);
uint64_t DateTimeToFileTime(TDateTime D);

#ifdef _WIN32
TDateTime Now();  // local time
// The local DOS date-time of a file's last write; -1 when the file cannot be
// read or its date cannot be held by a DOS date (before 1980).
int32_t FileAge(const std::string& FileName);
// Sets a file's last write from a local DOS date-time; true on success.
bool FileSetDate(const std::string& FileName, int32_t DosDateTime);
bool FileSetDate(intptr_t Handle, int32_t DosDateTime);
// UTC FILETIME <-> local DOS date-time, as the system converts them.
bool FileTimeToLocalDosDateTime(uint64_t UtcFileTime, int32_t& DosDateTime);
bool LocalDosDateTimeToFileTime(int32_t DosDateTime, uint64_t& UtcFileTime);
#endif
