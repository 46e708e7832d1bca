// Windows version, short paths, temporary names and the Windows and System
// directories.
#pragma once
#include <string>

enum TWindowsVerType { wv31Win32, wvWin95, wvWinNT, wvWinNT351, wvUnidentified };

// Read once when the program starts (unit initialisation); no trailing
// backslash except at a drive root.
extern std::string WindowsDir;
extern std::string SystemDir;

// The short (8.3) form of a path; empty when Windows cannot give one (the
// path does not exist or is longer than 400 characters).
std::string GetShortPath(const std::string& LongPath);
// One spelling of a path for comparison: the short form while it exists (so
// that C:\PROGRA~1 and C:\Program Files compare equal), else the path as
// given; upper case, without a trailing backslash.
std::string ComparablePath(const std::string& Path);
TWindowsVerType GetWindowsVerType();
// Makes a unique "bat....tmp" file in the temporary directory. KeepFile true
// leaves the empty file in place so the name stays reserved; false deletes it
// and returns only the name.
std::string MakeTempFileName(bool KeepFile);
// Makes a unique empty file "bat....<Ext>" in the temporary directory (Ext
// with its dot) and returns its name; unlike a changed extension of
// MakeTempFileName's file, it leaves no placeholder behind. Raises
// EAPIRoutines when no such file can be made.
std::string MakeTempFileWithExt(const std::string& Ext);

// Ordinal unit start-up (reading the two directories); raises EAPIRoutines.
void InitRoutinesAPI();
