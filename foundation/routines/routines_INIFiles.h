// INI section names, and removing a file at the next start of Windows (or
// withdrawing such a removal).
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
// Windows 95 family, through the system's delayed delete otherwise. Raises
// nothing; true when the deletion was scheduled.
bool RemoveFileAfterBoot(const std::string& FileName);
// Removes the folder Dir at the next restart when it is empty by then: put
// after the deletions of its last files, it goes with them. Only the Windows
// NT family removes folders at its start (WININIT.INI deletes files only), so
// elsewhere nothing is scheduled and the result is false.
bool RemoveFolderAfterBoot(const std::string& Dir);
// Withdraws every deletion of Path, and of each folder that holds it, that
// waits for the next restart (a delayed move without a target on the Windows
// NT family, a "Nul=" line of WININIT.INI on the Windows 95 family): a setup
// that puts a file in place wants it and its folders kept, whatever an
// uninstall scheduled before. A pending rename that has a target (a
// replacement) stays. Raises nothing; true when no such deletion stays.
bool KeepAfterBoot(const std::string& Path);
