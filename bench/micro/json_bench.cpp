// JSON rendering: the capabilities tree (alone, and with the parse as "capabilities --json"
// runs it), and the monitor list of "list --json" and "list".
#include <string>

#include "capabilities/parser.hpp"
#include "cli/json_records.hpp"
#include "cli/printer.hpp"
#include "micro/bench_support.hpp"
#include "micro/inputs.hpp"

namespace {

using lumra::bench::DiscardStream;
using lumra::bench::ReportPerByte;

const lumra::ddc::Monitor& sampleMonitor() {
  static const lumra::ddc::Monitor monitor = lumra::bench::ListedMonitors(1).front();
  return monitor;
}

void timeRenderTree(benchmark::State& state, const std::string& input) {
  const auto parsed = lumra::capabilities::Parse(input);
  if (parsed.Err) {
    state.SkipWithError("the input does not parse");
    return;
  }
  for (auto _ : state) {
    lumra::support::JSONWriter writer;
    lumra::cli::WriteDocumentJSON(writer, parsed.Value);
    benchmark::DoNotOptimize(writer.Text().data());
  }
  ReportPerByte(state, input.size());
}

void BM_RenderCapabilitiesRealistic(benchmark::State& state) {
  timeRenderTree(state, lumra::bench::RealisticCapabilities());
}
BENCHMARK(BM_RenderCapabilitiesRealistic);

void BM_RenderCapabilitiesFlat(benchmark::State& state) {
  timeRenderTree(state, lumra::bench::FlatCapabilities(static_cast<std::size_t>(state.range(0))));
}
BENCHMARK(BM_RenderCapabilitiesFlat)->Apply(lumra::bench::ScalingSizes);

// Parse, render and write, as the command does it. The 32-deep case cannot be rendered (every
// group appears twice per level); it shows how quickly that is found out.
void timePrintCapabilities(benchmark::State& state, const std::string& input) {
  DiscardStream out;
  DiscardStream err;
  const auto catalog = lumra::i18n::New("en");
  const auto printer = lumra::cli::NewPrinter(true, out, err, catalog);
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        printer->PrintResult(printer->RenderCapabilities(sampleMonitor(), input, false)));
  }
  ReportPerByte(state, input.size());
}

void BM_PrintCapabilitiesJSONRealistic(benchmark::State& state) {
  timePrintCapabilities(state, lumra::bench::RealisticCapabilities());
}
BENCHMARK(BM_PrintCapabilitiesJSONRealistic);

void BM_PrintCapabilitiesJSONFlat64KiB(benchmark::State& state) {
  timePrintCapabilities(state, lumra::bench::FlatCapabilities(1 << 16));
}
BENCHMARK(BM_PrintCapabilitiesJSONFlat64KiB)->Unit(benchmark::kMicrosecond);

void BM_PrintCapabilitiesJSONNested32x64KiB(benchmark::State& state) {
  timePrintCapabilities(
      state, lumra::bench::NestedCapabilities(1 << 16, lumra::capabilities::kMaximumDepth));
}
BENCHMARK(BM_PrintCapabilitiesJSONNested32x64KiB)->Unit(benchmark::kMillisecond);

void BM_PrintMonitors(benchmark::State& state) {
  const auto monitors = lumra::bench::ListedMonitors(static_cast<std::size_t>(state.range(0)));
  const bool json = state.range(1) != 0;
  const auto catalog = lumra::i18n::New("en");
  DiscardStream out;
  DiscardStream err;
  const auto printer = lumra::cli::NewPrinter(json, out, err, catalog);
  for (auto _ : state) {
    benchmark::DoNotOptimize(printer->PrintMonitors(monitors));
  }
}
BENCHMARK(BM_PrintMonitors)->ArgNames({"monitors", "json"})->Args({16, 1})->Args({16, 0});

}  // namespace
