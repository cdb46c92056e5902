// Discovery's pure step: turning the bridge's records into identified monitors.
#include "micro/bench_support.hpp"
#include "micro/inputs.hpp"
#include "platform/monitor_list.hpp"

namespace {

// 16 distinct monitors, or 8 pairs of twins whose identifiers need a SHA-256 of the location.
void BM_BuildDarwinMonitors(benchmark::State& state) {
  const auto items =
      lumra::bench::NativeMonitors(static_cast<std::size_t>(state.range(0)), state.range(1) != 0);
  for (auto _ : state) benchmark::DoNotOptimize(lumra::platform::BuildDarwinMonitors(items, {}));
}
BENCHMARK(BM_BuildDarwinMonitors)->ArgNames({"monitors", "twins"})->Args({16, 0})->Args({16, 1});

}  // namespace
