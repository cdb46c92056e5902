// Request frames and reply decoding: the per-exchange work of the DDC/CI layer.
#include <array>
#include <cstdint>

#include "ddcci/frame.hpp"
#include "micro/bench_support.hpp"

namespace {

using lumra::ddcci::Bytes;

// A Get VCP reply for brightness 60 of 100, and a full 32-byte capabilities fragment.
Bytes brightnessReply() {
  Bytes reply = {0x6E, 0x88, 0x02, 0x00, 0x10, 0x00, 0x00, 0x64, 0x00, 0x3C};
  reply.push_back(lumra::ddcci::Checksum(0x50, reply));
  return reply;
}

Bytes capabilitiesReply() {
  Bytes reply = {0x6E, 0x80 | 35, 0xE3, 0x00, 0x20};
  for (int i = 0; i < 32; ++i) reply.push_back(static_cast<std::uint8_t>('a' + i % 26));
  reply.push_back(lumra::ddcci::Checksum(0x50, reply));
  return reply;
}

void BM_BuildGetVCP(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(lumra::ddcci::BuildGetVCP(0x10));
}
BENCHMARK(BM_BuildGetVCP);

void BM_BuildSetVCP(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(lumra::ddcci::BuildSetVCP(0x10, 40));
}
BENCHMARK(BM_BuildSetVCP);

void BM_BuildCapabilitiesRequest(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(lumra::ddcci::BuildCapabilitiesRequest(0x0120));
}
BENCHMARK(BM_BuildCapabilitiesRequest);

void BM_ParseVCPReply(benchmark::State& state) {
  const Bytes reply = brightnessReply();
  if (lumra::ddcci::ParseVCPReply(reply, 0x10).Err) state.SkipWithError("reply does not decode");
  for (auto _ : state) benchmark::DoNotOptimize(lumra::ddcci::ParseVCPReply(reply, 0x10));
}
BENCHMARK(BM_ParseVCPReply);

// The failure path matters too: a corrupted reply is decoded on every retry.
void BM_ParseVCPReplyChecksumError(benchmark::State& state) {
  Bytes reply = brightnessReply();
  reply.back() ^= 0xFF;
  if (!lumra::ddcci::ParseVCPReply(reply, 0x10).Err) state.SkipWithError("reply decodes");
  for (auto _ : state) benchmark::DoNotOptimize(lumra::ddcci::ParseVCPReply(reply, 0x10));
}
BENCHMARK(BM_ParseVCPReplyChecksumError);

void BM_ParseCapabilitiesReply(benchmark::State& state) {
  const Bytes reply = capabilitiesReply();
  if (lumra::ddcci::ParseCapabilitiesReply(reply).Err) state.SkipWithError("reply does not decode");
  for (auto _ : state) benchmark::DoNotOptimize(lumra::ddcci::ParseCapabilitiesReply(reply));
}
BENCHMARK(BM_ParseCapabilitiesReply);

}  // namespace
