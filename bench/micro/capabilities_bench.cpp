// The capabilities parser on a realistic answer, on the 64 KiB worst cases, and on growing
// inputs to show that its time per byte stays flat.
#include <string>

#include "capabilities/parser.hpp"
#include "micro/bench_support.hpp"
#include "micro/inputs.hpp"

namespace {

using lumra::bench::ReportPerByte;

// Times Parse on `input`; refuses to time an input that does not parse, since the error path
// would stop at the first bad byte and flatter the figures.
void timeParse(benchmark::State& state, const std::string& input) {
  if (lumra::capabilities::Parse(input).Err) {
    state.SkipWithError("the input does not parse");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(lumra::capabilities::Parse(input));
  ReportPerByte(state, input.size());
}

void BM_ParseCapabilitiesRealistic(benchmark::State& state) {
  timeParse(state, lumra::bench::RealisticCapabilities());
}
BENCHMARK(BM_ParseCapabilitiesRealistic);

void BM_ParseCapabilitiesFlat(benchmark::State& state) {
  timeParse(state, lumra::bench::FlatCapabilities(static_cast<std::size_t>(state.range(0))));
}
BENCHMARK(BM_ParseCapabilitiesFlat)->Apply(lumra::bench::ScalingSizes);

void BM_ParseCapabilitiesNested32(benchmark::State& state) {
  timeParse(state, lumra::bench::NestedCapabilities(static_cast<std::size_t>(state.range(0)),
                                                    lumra::capabilities::kMaximumDepth));
}
BENCHMARK(BM_ParseCapabilitiesNested32)->Apply(lumra::bench::ScalingSizes);

}  // namespace
