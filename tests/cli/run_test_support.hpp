#pragma once

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "cli/fake_transport.hpp"
#include "cli/run.hpp"

namespace lumra::testing {

struct RunOutcome {
  int status = -1;
  std::string out;
  std::string err;
};

using Environment = std::map<std::string, std::string>;

inline RunOutcome runWith(FakeTransport& transport, const std::vector<std::string>& words,
                          const Environment& environment = {},
                          const support::Context& ctx = support::Context()) {
  std::ostringstream out;
  std::ostringstream err;
  RunOutcome outcome;
  outcome.status = cli::Run(ctx, words, out, err, transport, [&](const std::string& name) {
    const auto found = environment.find(name);
    return found == environment.end() ? std::string() : found->second;
  });
  outcome.out = out.str();
  outcome.err = err.str();
  return outcome;
}

}  // namespace lumra::testing
