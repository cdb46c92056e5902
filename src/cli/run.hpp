#pragma once

#include <functional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

#include "ddc/transport.hpp"
#include "support/context.hpp"

namespace lumra::cli {

// Environment lookup: the variable's value, or the empty text when unset.
using EnvironmentLookup = std::function<std::string(const std::string& name)>;

// Runs one command: parses the options, chooses the language, puts one deadline over the
// whole command, drives the transport and prints the result or one error report. Returns the
// exit status (0 success, 1 runtime failure, 2 command-line failure). It neither creates nor
// closes the transport; an empty `getenv` reads the process environment.
int Run(const support::Context& ctx, std::span<const std::string> arguments, std::ostream& out,
        std::ostream& err, ddc::Transport& transport, EnvironmentLookup getenv = {});

}  // namespace lumra::cli
