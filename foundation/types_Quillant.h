// Small types shared across the system.
#pragma once
#include <functional>
#include <string>

#include "classlib/Classes.h"

// A handler sets Continue to false to stop the step that fires it.
using TContinueEvent = std::function<void(TObject* Sender, bool& Continue)>;

enum TSelectWindowGroupOptions { swgRaiseExceptions };
using SelectWindowGroupOptionSet = unsigned;  // bit (1 << value) per option
constexpr SelectWindowGroupOptionSet SetOf(TSelectWindowGroupOptions o) { return 1u << o; }

// How an existing destination file is treated; decided by the version reader.
enum TOverwriteType { owAlways, owNever, owVersion, owDate, owVersionDate };

// A file being installed is written in its destination folder under a
// private name until it is whole; only then does it take its own name. The
// private name is this prefix followed by a few characters that make it the
// run's own, so two setups at once never write the same file: every name
// that begins with the prefix is a private file of FileName. The setup's next
// run and the uninstaller remove those a stopped run left.
inline std::string InstallPartName(const std::string& FileName) { return FileName + ".~qnt"; }

// The file a private name stands for (Path without its private part), or
// Path itself when it is no private name: messages name the file the user
// knows.
inline std::string InstallPartOwner(const std::string& Path) {
  const size_t folder = Path.find_last_of("\\/:");
  const size_t start = folder == std::string::npos ? 0 : folder + 1;
  const size_t at = Path.rfind(".~qnt");
  return at == std::string::npos || at <= start ? Path : Path.substr(0, at);
}
