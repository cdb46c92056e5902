#pragma once

#include <benchmark/benchmark.h>

#include <cstddef>
#include <ostream>
#include <streambuf>

namespace lumra::bench {

// A stream buffer that keeps nothing, so output benchmarks time the encoding and not a
// terminal or a file.
class DiscardBuffer : public std::streambuf {
 protected:
  int_type overflow(int_type c) override { return traits_type::not_eof(c); }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

class DiscardStream : public std::ostream {
 public:
  DiscardStream() : std::ostream(&buffer_) {}

 private:
  DiscardBuffer buffer_;
};

// Reports throughput and its inverse, nanoseconds per input byte: flat across sizes when the
// work grows linearly with the input.
inline void ReportPerByte(benchmark::State& state, std::size_t bytes) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(bytes));
  state.counters["ns_per_byte"] = benchmark::Counter(
      static_cast<double>(bytes) * 1e-9,
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Input sizes of the scaling families: 1 KiB to 64 KiB, doubling.
inline void ScalingSizes(benchmark::internal::Benchmark* benchmark) {
  benchmark->RangeMultiplier(2)->Range(1 << 10, 1 << 16);
}

}  // namespace lumra::bench
