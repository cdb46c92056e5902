// The stand-in platform's own cost, warm: loading the scenario (every process that touches the
// platform does it once) and the I2C driver's work for one exchange (a locked read-modify-write
// of the monitor state file per transaction). lumra_bench_simulator_once measures the same
// cold, in a fresh process, for the process table of scripts/bench.sh.
#include <cstdint>
#include <string>

#include "ddcci/frame.hpp"
#include "micro/bench_support.hpp"
#include "micro/inputs.hpp"
#include "sim/sim_exchange.hpp"
#include "sim/simulator.hpp"

namespace {

std::string scenarioText(std::int64_t which) {
  if (which == 0) return std::string(lumra::sim::DefaultScenarioText());
  return lumra::bench::SixteenMonitorsScenario();
}

void BM_SimLoadScenario(benchmark::State& state) {
  const std::string text = scenarioText(state.range(0));
  state.SetLabel(state.range(0) == 0 ? "built-in" : "sixteen-monitors");
  for (auto _ : state) {
    if (lumra::sim::UseScenarioText(text, "bench")) {
      state.SkipWithError("the scenario does not load");
      break;
    }
  }
  lumra::sim::ResetScenario();
}
BENCHMARK(BM_SimLoadScenario)->DenseRange(0, 1)->Unit(benchmark::kMicrosecond);

// One exchange as the bridge makes it, but with no reply delay: the pause is the protocol's,
// not the simulator's. HOME points at a scratch directory under TMPDIR, so the state file lives
// where the process benchmark keeps it.
void timeExchange(benchmark::State& state, const lumra::ddcci::Bytes& request,
                  std::uint32_t capacity) {
  lumra::sim::TemporaryHome home;
  lumra::sim::ResetScenario();
  {
    const lumra::bench::SimI2CConnection connection;
    for (auto _ : state) {
      if (!lumra::bench::SimExchange(connection, request, capacity)) {
        state.SkipWithError("the simulated monitor refused the exchange");
        break;
      }
    }
  }
  lumra::sim::ResetScenario();
}

void BM_SimGetVCPExchange(benchmark::State& state) {
  timeExchange(state, lumra::ddcci::BuildGetVCP(0x10), 11);
}
BENCHMARK(BM_SimGetVCPExchange)->Unit(benchmark::kMicrosecond);

void BM_SimSetVCPExchange(benchmark::State& state) {
  timeExchange(state, lumra::ddcci::BuildSetVCP(0x10, 40), 0);
}
BENCHMARK(BM_SimSetVCPExchange)->Unit(benchmark::kMicrosecond);

void BM_SimCapabilitiesExchange(benchmark::State& state) {
  timeExchange(state, lumra::ddcci::BuildCapabilitiesRequest(0x20), 38);
}
BENCHMARK(BM_SimCapabilitiesExchange)->Unit(benchmark::kMicrosecond);

}  // namespace
