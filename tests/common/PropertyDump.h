// The published properties of a component and of everything it owns, as
// text, one "Path = value" line each (values as GetPropText writes them,
// nested objects as Font.Name): compare a form before and after an operation,
// or against the text expected. Window-free (classlib only).
#pragma once
#include <string>

class TComponent;

namespace testsupport {

// "object Name: TClass" for the component and each component it owns (in
// the owner's order, indented two blanks per level), each followed by its
// property lines.
std::string DumpPublished(const TComponent* Root);

}  // namespace testsupport
