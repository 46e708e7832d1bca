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
