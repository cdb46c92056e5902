#pragma once

#include "cli/command.hpp"

namespace lumra::cli {

// save <monitor|all> [FILE]: reads the settings of every selected monitor at once into one
// profile, written to FILE at once, or to standard output.
int RunSave(const Command& cmd, CommandWords args);

// restore FILE [monitor|all]: checks the whole profile, then writes it back to every monitor at
// once; lists per monitor what was written and reports each failure (status 1).
int RunRestore(const Command& cmd, CommandWords args);

}  // namespace lumra::cli
