#include "classlib/DateUtils.h"

#include <cmath>

#include "classlib/SysUtils.h"
#include "classlib/WinText.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {
const int kDaysInMonth[2][13] = {{0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
                                 {0, 31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31}};
// Days from 0001-01-01 to 1899-12-30.
constexpr int64_t kDateDelta = 693594;
constexpr double kMSecsPerDay = 86400000.0;
// FILETIME ticks from 1601-01-01 to 1899-12-30.
constexpr int64_t kDays1601To1899 = 109205;
constexpr double kTicksPerDay = 864000000000.0;
}  // namespace

bool IsLeapYear(int Year) { return Year % 4 == 0 && (Year % 100 != 0 || Year % 400 == 0); }

bool TryEncodeDate(int Year, int Month, int Day, TDateTime& Out) {
  if (Year < 1 || Year > 9999 || Month < 1 || Month > 12) return false;
  const int* dm = kDaysInMonth[IsLeapYear(Year) ? 1 : 0];
  if (Day < 1 || Day > dm[Month]) return false;
  int64_t days = Day;
  for (int m = 1; m < Month; ++m) days += dm[m];
  int64_t y = Year - 1;
  days += y * 365 + y / 4 - y / 100 + y / 400;
  Out = static_cast<double>(days - kDateDelta);
  return true;
}

TDateTime EncodeDate(int Year, int Month, int Day) {
  TDateTime d;
  if (!TryEncodeDate(Year, Month, Day, d)) throw EConvertError("Invalid argument to date encode");
  return d;
}

bool TryEncodeTime(int Hour, int Min, int Sec, int MSec, TDateTime& Out) {
  if (Hour < 0 || Hour > 23 || Min < 0 || Min > 59 || Sec < 0 || Sec > 59 || MSec < 0 || MSec > 999) return false;
  Out = (((Hour * 60.0 + Min) * 60.0 + Sec) * 1000.0 + MSec) / kMSecsPerDay;
  return true;
}

TDateTime EncodeTime(int Hour, int Min, int Sec, int MSec) {
  TDateTime t;
  if (!TryEncodeTime(Hour, Min, Sec, MSec, t)) throw EConvertError("Invalid argument to time encode");
  return t;
}


void DecodeDate(TDateTime D, int& Year, int& Month, int& Day) {
  int64_t ms = static_cast<int64_t>(std::llround(std::fabs(D - std::trunc(D)) * kMSecsPerDay));
  int64_t days = static_cast<int64_t>(std::trunc(D)) + (ms >= 86400000LL ? 1 : 0) + kDateDelta;
  if (days <= 0) {
    Year = Month = Day = 0;
    return;
  }
  --days;  // days since 0001-01-01
  int64_t y = 1;
  int64_t n400 = days / 146097;
  days %= 146097;
  int64_t n100 = days / 36524;
  if (n100 == 4) n100 = 3;
  days -= n100 * 36524;
  int64_t n4 = days / 1461;
  days %= 1461;
  int64_t n1 = days / 365;
  if (n1 == 4) n1 = 3;
  days -= n1 * 365;
  y += n400 * 400 + n100 * 100 + n4 * 4 + n1;
  Year = static_cast<int>(y);
  const int* dm = kDaysInMonth[IsLeapYear(Year) ? 1 : 0];
  int m = 1;
  while (days >= dm[m]) {
    days -= dm[m];
    ++m;
  }
  Month = m;
  Day = static_cast<int>(days) + 1;
}

void DecodeTime(TDateTime D, int& Hour, int& Min, int& Sec, int& MSec) {
  int64_t ms = static_cast<int64_t>(std::llround(std::fabs(D - std::trunc(D)) * kMSecsPerDay)) % 86400000LL;
  Hour = static_cast<int>(ms / 3600000);
  Min = static_cast<int>(ms / 60000 % 60);
  Sec = static_cast<int>(ms / 1000 % 60);
  MSec = static_cast<int>(ms % 1000);
}

TDateTime FileDateToDateTime(int32_t DosDateTime) {
  uint32_t v = static_cast<uint32_t>(DosDateTime);
  int date = static_cast<int>(v >> 16), time = static_cast<int>(v & 0xFFFF);
  TDateTime d, t;
  if (!TryEncodeDate((date >> 9) + 1980, (date >> 5) & 15, date & 31, d) ||
      !TryEncodeTime(time >> 11, (time >> 5) & 63, (time & 31) * 2, 0, t))
    throw EConvertError("Invalid argument to date encode");
  return d + t;
}

int32_t DateTimeToFileDate(TDateTime D) {
  int y, m, d, h, mi, s, ms;
  DecodeDate(D, y, m, d);
  if (y < 1980 || y > 2107) return 0;
  DecodeTime(D, h, mi, s, ms);
  uint32_t date = static_cast<uint32_t>(((y - 1980) << 9) | (m << 5) | d);
  uint32_t time = static_cast<uint32_t>((h << 11) | (mi << 5) | (s / 2));
  return static_cast<int32_t>((date << 16) | time);
}

TDateTime FileTimeToDateTime(uint64_t FileTime) {
  return static_cast<double>(FileTime) / kTicksPerDay - static_cast<double>(kDays1601To1899);
}

uint64_t DateTimeToFileTime(TDateTime D) {
  double ticks = (D + static_cast<double>(kDays1601To1899)) * kTicksPerDay;
  return ticks <= 0 ? 0 : static_cast<uint64_t>(std::llround(ticks));
}

#ifdef _WIN32

TDateTime Now() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  return EncodeDate(st.wYear, st.wMonth, st.wDay) + EncodeTime(st.wHour, st.wMinute, st.wSecond, st.wMilliseconds);
}

bool FileTimeToLocalDosDateTime(uint64_t UtcFileTime, int32_t& DosDateTime) {
  FILETIME utc, local;
  utc.dwLowDateTime = static_cast<DWORD>(UtcFileTime);
  utc.dwHighDateTime = static_cast<DWORD>(UtcFileTime >> 32);
  WORD date, time;
  if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToDosDateTime(&local, &date, &time)) return false;
  DosDateTime = static_cast<int32_t>((static_cast<uint32_t>(date) << 16) | time);
  return true;
}

bool LocalDosDateTimeToFileTime(int32_t DosDateTime, uint64_t& UtcFileTime) {
  uint32_t v = static_cast<uint32_t>(DosDateTime);
  FILETIME local, utc;
  if (!DosDateTimeToFileTime(static_cast<WORD>(v >> 16), static_cast<WORD>(v & 0xFFFF), &local) ||
      !LocalFileTimeToFileTime(&local, &utc))
    return false;
  UtcFileTime = (static_cast<uint64_t>(utc.dwHighDateTime) << 32) | utc.dwLowDateTime;
  return true;
}

int32_t FileAge(const std::string& FileName) {
  WIN32_FILE_ATTRIBUTE_DATA fad;
  if (!GetFileAttributesExW(Widen(FileName).c_str(), GetFileExInfoStandard, &fad)) return -1;
  if (fad.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return -1;
  uint64_t ft = (static_cast<uint64_t>(fad.ftLastWriteTime.dwHighDateTime) << 32) | fad.ftLastWriteTime.dwLowDateTime;
  int32_t dos;
  return FileTimeToLocalDosDateTime(ft, dos) ? dos : -1;
}

bool FileSetDate(intptr_t Handle, int32_t DosDateTime) {
  uint64_t ft;
  if (!LocalDosDateTimeToFileTime(DosDateTime, ft)) return false;
  FILETIME f;
  f.dwLowDateTime = static_cast<DWORD>(ft);
  f.dwHighDateTime = static_cast<DWORD>(ft >> 32);
  return SetFileTime(reinterpret_cast<HANDLE>(Handle), nullptr, nullptr, &f) != 0;
}

bool FileSetDate(const std::string& FileName, int32_t DosDateTime) {
  HANDLE h = CreateFileW(Widen(FileName).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  bool ok = FileSetDate(reinterpret_cast<intptr_t>(h), DosDateTime);
  CloseHandle(h);
  return ok;
}

#endif
