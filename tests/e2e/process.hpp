// What a child process of a test is given and what it leaves.
#pragma once

#include <map>
#include <optional>
#include <string>

namespace lumra::testing {

struct ProcessResult {
  int status = -1;  // exit status, or 128 + signal
  std::string out;
  std::string err;
};

// Environment changes for a child: a value sets the variable, nullopt removes it.
using EnvironmentChanges = std::map<std::string, std::optional<std::string>>;

}  // namespace lumra::testing
