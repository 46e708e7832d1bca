#include "classlib/Units.h"

#include <algorithm>
#include <vector>

namespace {
struct Entry {
  int level;
  int seq;
  const char* name;
  void (*init)();
  void (*fini)();
};
std::vector<Entry>& Registry() {
  static std::vector<Entry> r;
  return r;
}
std::vector<const Entry*>& Started() {
  static std::vector<const Entry*> s;
  return s;
}
bool initialized = false;
}  // namespace

TUnitRegistration::TUnitRegistration(int level, const char* name, void (*init)(), void (*fini)()) {
  auto& r = Registry();
  r.push_back({level, static_cast<int>(r.size()), name, init, fini});
}

void InitializeUnits() {
  if (initialized) return;
  initialized = true;
  auto& r = Registry();
  std::stable_sort(r.begin(), r.end(), [](const Entry& a, const Entry& b) { return a.level < b.level; });
  for (const Entry& e : r) {
    if (e.init) e.init();  // may throw: the units started so far stay started
    Started().push_back(&e);
  }
}

void FinalizeUnits() {
  auto& s = Started();
  while (!s.empty()) {
    const Entry* e = s.back();
    s.pop_back();
    if (e->fini) e->fini();
  }
  initialized = false;
}

bool UnitsInitialized() { return initialized; }
