// The simulator's scenario loader on arbitrary text, and, for every scenario it accepts, the
// whole discovery path over it (native enumeration, pairing, identity). Properties: loading is
// deterministic and either yields a scenario or one problem naming the file; an invalid
// scenario makes discovery fail as documented; discovery releases every platform object it
// took and misuses none.
#include "ddc/transport.hpp"
#include "fuzz_check.hpp"
#include "platform/transport.hpp"
#include "sim/simulator.hpp"
#include "sim/world/scenario.hpp"
#include "support/context.hpp"

namespace {

namespace sim = lumra::sim;

void CheckDiscovery(bool valid) {
  const std::size_t liveBefore = sim::LiveObjectCount();
  const std::size_t misusesBefore = sim::MisuseCount();
  {
    const auto transport = lumra::platform::Open();
    const auto listed = transport->List(lumra::support::Context());
    if (!valid) {
      FUZZ_CHECK(listed.Err && listed.Err.Message() == "native display enumeration failed: -2",
                 "an invalid scenario was enumerated: " + listed.Err.Message());
    }
    for (std::size_t i = 0; i < listed.Value.size(); ++i) {
      FUZZ_CHECK(listed.Value[i].Index == static_cast<std::int64_t>(i),
                 "indexes are not 0, 1, ...");
      FUZZ_CHECK(listed.Value[i].ID.starts_with("darwin:"), listed.Value[i].ID);
    }
    FUZZ_CHECK(!transport->Close(), "close failed");
  }
  FUZZ_CHECK(sim::LiveObjectCount() == liveBefore,
             "discovery leaked " + sim::DescribeLiveObjects());
  FUZZ_CHECK(sim::MisuseCount() == misusesBefore, "discovery released something it did not hold");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = lumra::fuzz::AsText(data, size);
  std::string problem;
  const auto scenario = sim::ParseScenario(text, problem);
  std::string again;
  FUZZ_CHECK(
      sim::ParseScenario(text, again).has_value() == scenario.has_value() && again == problem,
      "loading is not deterministic");
  FUZZ_CHECK(scenario.has_value() == problem.empty(),
             "a result and a problem, or neither: " + problem);

  const lumra::support::Error used = sim::UseScenarioText(text, "fuzz.Json");
  FUZZ_CHECK(!used == scenario.has_value(), "the active scenario disagrees with the loader");
  if (used) {
    FUZZ_CHECK(used.Message() == "scenario \"fuzz.Json\": " + problem, used.Message());
  }
  CheckDiscovery(scenario.has_value());
  sim::ResetScenario();
  return 0;
}
