#pragma once

#include <chrono>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "support/context.hpp"

namespace lumra::cli {

// The parsed global options.
struct Options {
  bool Json = false;
  bool Unsafe = false;
  // --verify: read every written value back and fail when it did not stick.
  bool Verify = false;
  // --save-settings: after a monitor's writes, have it store its settings (Save Current Settings).
  bool SaveSettings = false;
  // --wait: keep trying, until the timeout, while a selected monitor is not listed or does not
  // answer, as after wake or replug.
  bool Wait = false;
  // --version: print the version instead of running a command.
  bool Version = false;
  std::string Locale;
  support::Duration Timeout = std::chrono::seconds(5);
};

// Why parsing failed: a catalog key ("invalid_option", "missing_option", "invalid_timeout")
// and its single argument.
struct OptionError {
  std::string Key;
  std::string Value;
};

struct ParsedCommandLine {
  // On failure: what was recognised before the offending word.
  Options Parsed;
  // Empty on failure; the single word "help" when --help or -h was seen.
  std::vector<std::string> CommandArguments;
  std::optional<OptionError> Error;
};

// Splits the words after the program name into global options and command words. Options
// may stand anywhere until a "--"; the first bad word ends parsing. The fourth command word of
// "adjust" may begin with "-" and a digit (a negative delta).
ParsedCommandLine ParseOptions(std::span<const std::string> arguments);

}  // namespace lumra::cli
