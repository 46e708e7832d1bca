// The setup program's main block.
#pragma once
#include <functional>

// Starts the units, the application (its title) and the hidden main form,
// then CreateForms (the program's page forms and its install module, whose
// creation may carry out a whole *ABOOT, *BUILD or *TODISK run), then runs
// the message loop until the application terminates. An exception while the
// forms are created is shown once and ends the program with exit code 1.
int SetupMain(const std::function<void()>& CreateForms);

// The application title of this setup program.
inline constexpr const char* SetupTitle = "Quillant32 2.5 Beta";
