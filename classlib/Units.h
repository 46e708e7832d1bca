// Ordered start-up and shut-down of units that keep global state.
// A unit registers its initialisation and finalisation with a level; the main
// block (or a test's main) calls InitializeUnits once, which runs them by level
// and then in registration order, and FinalizeUnits in the reverse order. An
// exception from an initialisation reaches the caller (which shows it and stops
// the program), instead of terminating inside a static constructor.
// A unit registered after InitializeUnits (a library loaded later) starts at
// once, in its registration, and finishes before every unit started earlier.
#pragma once

enum TUnitLevel : int {
  ulClassLib = 100,
  ulFoundation = 200,
  ulEngine = 300,
  ulWizard = 400,
  ulSetup = 500,
};

struct TUnitRegistration {
  TUnitRegistration(int level, const char* name, void (*init)(), void (*fini)());
};

void InitializeUnits();
void FinalizeUnits();
bool UnitsInitialized();
