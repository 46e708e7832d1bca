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
TWindowsVerType GetWindowsVerType();
// Makes a unique "bat....tmp" file in the temporary directory. KeepFile true
// leaves the empty file in place so the name stays reserved; false deletes it
// and returns only the name.
std::string MakeTempFileName(bool KeepFile);

// Ordinal unit start-up (reading the two directories); raises EAPIRoutines.
void InitRoutinesAPI();
