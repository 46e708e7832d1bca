// Path parts and the command line, with backslashes as the system gives
// them; shared by the loader (which uses no class library) and the class
// library.
#pragma once
#include <string>
#include <vector>

namespace qbase {

// The text with one trailing backslash added (empty stays empty).
std::string DirectoryWBS(const std::string& S);
// The text without one trailing backslash ("A:\" gives "A:").
std::string DirectoryWOBS(const std::string& S);
// The name part after the last '\', '/' or ':'.
std::string ExtractName(const std::string& Path);
// The folder part without a trailing backslash ("A:\setup.exe" gives "A:").
std::string ExtractDir(const std::string& Path);

// True for a name the system takes as a device whatever folder it lies in
// and whatever its extension: CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM0..9,
// LPT0..9 and COM/LPT with a superscript 1, 2 or 3 ("aux.txt", "COM1 .log").
bool IsDeviceName(const std::string& Name);

// The arguments of a command line as the class library reads them: tokens
// split at blanks and control characters, double quotes grouping and
// removed. Element 0 is the program.
std::vector<std::string> SplitArguments(const std::string& CommandLine);

}  // namespace qbase
