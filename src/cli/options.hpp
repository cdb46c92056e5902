#pragma once

#include <chrono>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "support/context.hpp"

namespace lumra::cli {

// The parsed global options.
struct options {
  bool json = false;
  bool unsafe = false;
  // --version: print the version instead of running a command.
  bool version = false;
  std::string locale;
  support::Duration timeout = std::chrono::seconds(5);
};

// Why parsing failed: a catalog key ("invalid_option", "missing_option", "invalid_timeout")
// and its single argument.
struct optionError {
  std::string key;
  std::string value;
};

struct parsedCommandLine {
  // On failure: what was recognised before the offending word.
  options parsed;
  // Empty on failure; the single word "help" when --help or -h was seen.
  std::vector<std::string> commandArguments;
  std::optional<optionError> error;
};

// Splits the words after the program name into global options and command words. Options
// may stand anywhere until a "--"; the first bad word ends parsing. The fourth command word of
// "adjust" may begin with "-" and a digit (a negative delta).
parsedCommandLine parseOptions(std::span<const std::string> arguments);

}  // namespace lumra::cli
