// The setup program's main block.
#pragma once
#include <functional>

// Starts the units, the application (titled Title) and the hidden main form,
// then CreateForms (the program's page forms and its install module, whose
// creation may carry out a whole *ABOOT, *BUILD or *TODISK run), then runs
// the message loop until the application terminates. An error while the
// forms are created is shown once, captioned Title, and once it is answered
// the program ends with exit code 1. Otherwise the exit code is the one the
// run ended the message loop with: 1 after a failed *BUILD or *TODISK, else 0.
int SetupMain(const char* Title, const std::function<void()>& CreateForms);
