#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace lumra::testing {

struct ProcessResult {
  int status = -1;  // exit status, or 128 + signal
  std::string out;
  std::string err;
};

// Environment changes for a child: a value sets the variable, nullopt removes it.
using EnvironmentChanges = std::map<std::string, std::optional<std::string>>;

// Runs `program` with `arguments` and the current environment changed by `environment`,
// collecting standard output and standard error.
ProcessResult runProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const EnvironmentChanges& environment);

}  // namespace lumra::testing
