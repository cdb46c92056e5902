// The stand-in platform's own cost per command: loading the scenario (every process that
// touches the platform does it once) and the I2C driver's work for one exchange (a locked
// read-modify-write of the monitor state file per transaction). scripts/bench.sh subtracts
// these from the process overhead, so the table tells the simulator's share from ours.
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>

#include "ddcci/frame.hpp"
#include "micro/bench_support.hpp"
#include "platform/native/sim/macos_api.h"
#include "platform/native/sim/simulator.hpp"

#ifndef LUMRA_BENCH_SCENARIO_DIR
#error "LUMRA_BENCH_SCENARIO_DIR must name bench/scenarios"
#endif

namespace {

std::string scenarioText(std::int64_t which) {
  if (which == 0) return std::string(lumra::sim::DefaultScenarioText());
  std::ifstream file(LUMRA_BENCH_SCENARIO_DIR "/sixteen-monitors.json", std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
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

// The built-in Q27 monitor's framebuffer, whose bus 0 carries the monitor.
constexpr std::uint64_t kQ27Framebuffer = 0x100000412;

// An open I2C connection to the Q27, released at the end of the benchmark.
class q27Connection {
 public:
  q27Connection() {
    const io_service_t framebuffer = IOServiceGetMatchingService(
        kIOMainPortDefault, IORegistryEntryIDMatching(kQ27Framebuffer));
    io_service_t interface = IO_OBJECT_NULL;
    if (framebuffer != IO_OBJECT_NULL &&
        IOFBCopyI2CInterfaceForBus(framebuffer, 0, &interface) == kIOReturnSuccess) {
      if (IOI2CInterfaceOpen(interface, 0, &connect_) != kIOReturnSuccess) connect_ = nullptr;
      IOObjectRelease(interface);
    }
    if (framebuffer != IO_OBJECT_NULL) IOObjectRelease(framebuffer);
  }
  ~q27Connection() {
    if (connect_ != nullptr) IOI2CInterfaceClose(connect_, 0);
  }
  q27Connection(const q27Connection&) = delete;
  q27Connection& operator=(const q27Connection&) = delete;

  IOI2CConnectRef get() const { return connect_; }

 private:
  IOI2CConnectRef connect_ = nullptr;
};

// One driver request as the bridge makes it, but with no reply delay: the pause is the
// protocol's, not the simulator's. HOME points at a scratch directory under TMPDIR, so the
// state file lives where the process benchmark keeps it.
void timeExchange(benchmark::State& state, lumra::ddcci::Bytes request, std::uint32_t capacity) {
  lumra::sim::TemporaryHome home;
  lumra::sim::ResetScenario();
  {
    const q27Connection connection;
    if (connection.get() == nullptr) state.SkipWithError("no I2C connection to the monitor");
    std::uint8_t reply[64] = {};
    for (auto _ : state) {
      if (connection.get() == nullptr) break;
      IOI2CRequest call{};
      call.sendTransactionType = kIOI2CSimpleTransactionType;
      call.sendAddress = 0x6E;
      call.sendBuffer = reinterpret_cast<vm_address_t>(request.data());
      call.sendBytes = static_cast<std::uint32_t>(request.size());
      if (capacity > 0) {
        call.replyTransactionType = kIOI2CDDCciReplyTransactionType;
        call.replyAddress = 0x6F;
        call.replySubAddress = 0x51;
        call.replyBuffer = reinterpret_cast<vm_address_t>(reply);
        call.replyBytes = capacity;
      }
      if (IOI2CSendRequest(connection.get(), 0, &call) != kIOReturnSuccess ||
          call.result != kIOReturnSuccess) {
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
