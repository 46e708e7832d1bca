// Unique component names.
#pragma once
#include <string>

#include "classlib/Classes.h"

// Names C Root, or Root followed by 1, 2, ... whichever C accepts first.
// Raises EComponentError when none of the first 10000 is accepted (a Root that
// is no valid name would otherwise be tried for ever).
void AssignValidName(TComponent* C, const std::string& Root);
