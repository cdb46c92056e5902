// Per-command lookups of the front end: feature names and catalog messages.
#include <string>

#include "ddc/feature.hpp"
#include "i18n/catalog.hpp"
#include "micro/bench_support.hpp"

namespace {

// A table name, a name needing trimming and folding, a raw code, and an unknown name (the
// error path formats its message).
const char* const kFeatureArguments[] = {"brightness", "  Picture-Mode ", "vcp:0xE9", "glow"};

void BM_ParseFeature(benchmark::State& state) {
  const std::string argument = kFeatureArguments[state.range(0)];
  state.SetLabel(argument);
  for (auto _ : state) benchmark::DoNotOptimize(lumra::ddc::ParseFeature(argument));
}
BENCHMARK(BM_ParseFeature)->DenseRange(0, 3);

void BM_CatalogNew(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(lumra::i18n::New("zh_CN.UTF-8"));
}
BENCHMARK(BM_CatalogNew);

// The message of "get": the last key of the table, filled with five arguments.
void BM_CatalogCurrentValue(benchmark::State& state) {
  const auto catalog = lumra::i18n::New(state.range(0) == 0 ? "en" : "zh");
  state.SetLabel(catalog.Language);
  const std::string id = "darwin:3E56:2710:00A1B2C3";
  for (auto _ : state) {
    benchmark::DoNotOptimize(catalog.Text("current_value", id, "brightness", 0x10, 60, 100));
  }
}
BENCHMARK(BM_CatalogCurrentValue)->DenseRange(0, 1);

void BM_CatalogUsage(benchmark::State& state) {
  const auto catalog = lumra::i18n::New("en");
  for (auto _ : state) benchmark::DoNotOptimize(catalog.Text("usage_header"));
}
BENCHMARK(BM_CatalogUsage);

}  // namespace
