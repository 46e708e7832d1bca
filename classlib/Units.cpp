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
// Copies, never pointers into Registry: a unit registered later (a library
// loaded at run time) grows that vector.
std::vector<Entry>& Started() {
  static std::vector<Entry> s;
  return s;
}
bool initialized = false;
}  // namespace

TUnitRegistration::TUnitRegistration(int level, const char* name, void (*init)(), void (*fini)()) {
  auto& r = Registry();
  Entry e{level, static_cast<int>(r.size()), name, init, fini};
  r.push_back(e);
  if (!initialized) return;
  // The program is running already: this unit starts now and, as the last
  // one started, is the first to finish.
  if (e.init) e.init();  // an exception reaches whoever loaded the unit
  Started().push_back(e);
}

void InitializeUnits() {
  if (initialized) return;
  initialized = true;
  auto& r = Registry();
  std::stable_sort(r.begin(), r.end(), [](const Entry& a, const Entry& b) { return a.level < b.level; });
  // A unit registered while these run starts at once; it is not in this copy.
  const std::vector<Entry> order = r;
  for (const Entry& e : order) {
    if (e.init) e.init();  // may throw: the units started so far stay started
    Started().push_back(e);
  }
}

void FinalizeUnits() {
  auto& s = Started();
  while (!s.empty()) {
    Entry e = s.back();
    s.pop_back();
    if (e.fini) e.fini();
  }
  initialized = false;
}

bool UnitsInitialized() { return initialized; }
