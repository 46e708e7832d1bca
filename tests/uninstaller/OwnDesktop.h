// For the tests that put shortcuts on the desktop and watch it empty. Wine
// keeps the user's desktop in the build's HOME, which every test of the build
// shares; such a test gives its prefix a desktop of its own.
#pragma once
#include <string>

#include "classlib/SysUtils.h"
#include "foundation/routines/routines_Registry.h"

// Makes Folder (made when missing) the current user's desktop, both for the
// shell and for the paths the setup program reads from the registry.
inline void UseOwnDesktop(const std::string& Folder) {
  ForceDirectories(Folder);
  const std::string explorer = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";
  WriteRVStr(hkCurrentUser, explorer + "User Shell Folders", "Desktop", Folder);
  WriteRVStr(hkCurrentUser, explorer + "Shell Folders", "Desktop", Folder);
}
