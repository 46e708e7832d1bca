#include "foundation/routines/routines_Components.h"

void AssignValidName(TComponent* C, const std::string& Root) {
  constexpr int kMaxTries = 10000;
  for (int i = 0; i < kMaxTries; ++i) {
    try {
      C->SetName(i == 0 ? Root : Root + std::to_string(i));
      return;
    } catch (const EComponentError&) {
      // taken or invalid: try the next candidate
    }
  }
  throw EComponentError("Cannot find a valid component name for " + Root);
}
