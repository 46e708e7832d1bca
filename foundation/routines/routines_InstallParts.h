// The private copies that a setup writes beside the files it installs: their
// name form, reading it back, and whether the run that wrote one still goes
// on. The setup program and the uninstaller both use it: each removes only
// the copies of runs that have ended, never a running setup's.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// A file being installed is written in its destination folder under a
// private name until it is whole; only then does it take its own name. The
// private name is this prefix followed by a few characters that make it the
// run's own, so two setups at once never write the same file: every name
// that begins with the prefix is a private file of FileName.
inline std::string InstallPartName(const std::string& FileName) { return FileName + ".~qnt"; }

// The name of the private copy that the process Owner writes beside FileName
// while it installs it, its Counter-th: InstallPartName, then the process id
// and the counter in hex with a "-" between them ("x.dll.~qnt1a2c-3").
std::string InstallPartName(const std::string& FileName, uint32_t Owner, uint32_t Counter);

// The file a private name stands for (Path without its private part), or
// Path itself when it is no private name: messages name the file the user
// knows.
std::string InstallPartOwner(const std::string& Path);

// True when Name is exactly such a name, of FileName (of any file when
// FileName is empty): Owner is then the process that wrote it. Any other
// name (a user's "notes.~qnt.bak") is no private copy.
bool ParseInstallPart(const std::string& Name, const std::string& FileName, uint32_t& Owner);

// Whether the run that made a copy at Made (the copy's creation time, in the
// system's file-time units, 0 when unknown) in the process Owner still goes
// on. A process id is reused once its process has ended, so a process that
// started after the copy was made is not the one that made it. This process
// counts like any other; one that cannot be looked at (another user's) counts
// as running: its copies are not ours to take.
bool InstallPartOwnerRuns(uint32_t Owner, uint64_t Made);

// A private copy found in a folder: its long name (without the folder) and
// whether the run that wrote it still goes on.
struct TInstallPart {
  std::string Name;
  bool OwnerRuns = false;
};
// Every private copy in Dir: those of FileName, or of any file when FileName
// is empty.
std::vector<TInstallPart> InstallPartsOf(const std::string& Dir, const std::string& FileName);
// The private copies that setup runs left in Dir and whose run has ended (of
// FileName, or of any file when FileName is empty). A running setup's copy is
// never listed. Long names, without the folder.
std::vector<std::string> InstallPartsIn(const std::string& Dir, const std::string& FileName);
