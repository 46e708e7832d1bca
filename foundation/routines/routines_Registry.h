// One-call registry helpers: each opens its own registry object, does its one
// job and frees the object again, also when the job fails.
#pragma once
#include <cstdint>
#include <string>

#include "classlib/Registry.h"
#include "classlib/SysUtils.h"

enum TRootKeys { hkClassesRoot, hkCurrentConfig, hkCurrentUser, hkDynData, hkLocalMachine, hkUsers };

class EIRCannotWriteValue : public Exception {
public:
  using Exception::Exception;
};

void SetTheRoot(TRegistry* ARegistry, TRootKeys Root);
// Open (creating) Key and write one value; EIRCannotWriteValue on failure.
void WriteRVStr(TRootKeys Root, const std::string& Key, const std::string& Ident, const std::string& Value);
void WriteRVInteger(TRootKeys Root, const std::string& Key, const std::string& Ident, int32_t Value);
// The string value, or Default when the key or value is missing or unreadable;
// the key is never created.
std::string GetRVStr(TRootKeys Root, const std::string& Key, const std::string& Ident,
                     const std::string& Default);
// Deletes Key with all its subkeys, deepest first; never fails.
void DeleteKey(TRootKeys Root, const std::string& Key);
// Writes a command under the local machine's RunOnce key; with IdentUnique an
// existing value name is never overwritten (Ident1, Ident2 ... are tried).
bool RegisterRunOnce(const std::string& Ident, const std::string& Value, bool IdentUnique);

// The key of the commands Windows runs once at its next start.
inline constexpr const char* RunOnceKey = "\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
