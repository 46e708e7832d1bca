// INI section names and removing a file at the next start of Windows.
#pragma once
#include <string>

#include "classlib/Classes.h"

// The section names of an INI file, read as text lines. The class library's
// file error passes when the file cannot be read; a nil SL does nothing.
void GetINISections(const std::string& FilePath, TStrings* SL);
// Adds "Target=Source" at the head of WININIT.INI's [RENAME] section (the
// file and the section are made when missing): at its next start the Windows
// 95 family moves Source over Target ("Nul" as Target deletes Source). Both
// are 8.3 paths. True only when the line was saved.
bool WriteWininitRename(const std::string& Target, const std::string& Source);
// Deletes FileName at the next restart of Windows: through WININIT.INI on the
// Windows 95 family, through the system's delayed delete otherwise. Reports
// no failure.
void RemoveFileAfterBoot(const std::string& FileName);

