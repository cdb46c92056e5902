#pragma once

#include <ostream>
#include <span>
#include <string>

#include "cli/run.hpp"
#include "ddc/transport.hpp"

namespace lumra::cli {

// The process's whole life after the transport is opened: runs the command, always closes
// the transport, reports a failed close, and returns the exit status (a failed close turns
// success into 1 and leaves any other status as it was).
int RunAndClose(std::span<const std::string> arguments, std::ostream& out, std::ostream& err,
                ddc::Transport& transport, EnvironmentLookup getenv = {});

}  // namespace lumra::cli
