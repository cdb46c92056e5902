#include "micro/inputs.hpp"

#include <cstdio>
#include <fstream>
#include <iterator>

#ifndef LUMRA_BENCH_SCENARIO_DIR
#error "LUMRA_BENCH_SCENARIO_DIR must name bench/scenarios"
#endif

namespace lumra::bench {

namespace {

// Appends `filler` tokens and spaces until `text` is `size - 1` bytes long, then the ")" that
// closes the outer group.
std::string closeAt(std::string text, std::size_t size) {
  while (text.size() + 3 <= size) text += "A ";
  while (text.size() + 1 < size) text += ' ';
  text += ')';
  return text;
}

}  // namespace

const std::string& RealisticCapabilities() {
  static const std::string text =
      "(prot(monitor)type(LCD)model(Q27P-B)cmds(01 02 03 07 0C E3 F3)vcp(02 04 05 08 0B 0C 10 "
      "12 14(01 05 06 08 0B) 16 18 1A 52 60(0F 11 12 1B) 62 6C 6E 70 87 8D(01 02) AC AE B2 B6 "
      "C0 C6 C8 C9 CA(01 02) CC(02 03 04 05 07 08 09 0A 0D 14 1E) D6(01 04 05) DC(00 02 03 05 "
      "08 0B) DF E9(00 02) F0(00 01) FF)window1(type(PIP) area(25 F7 1D 66) max(1280 720) "
      "min(10 100))mswhql(1)asset_eep(128)mpu(01)mccs_ver(2.2))";
  return text;
}

std::string FlatCapabilities(std::size_t size) {
  static constexpr std::string_view kUnit =
      "vcp(02 04 05 08 10 12 14(05 08 0B) 16 18 1A 60(0F 11 12) 62 D6(01 04) DF) ";
  std::string text = "(prot(monitor)type(LCD)model(Q27P)";
  text.reserve(size);
  while (text.size() + kUnit.size() + 1 <= size) text += kUnit;
  return closeAt(std::move(text), size);
}

std::string NestedCapabilities(std::size_t size, int depth) {
  // The outer group is the first level; each chain adds depth - 1 more.
  const int inner = depth - 1;
  std::string unit;
  for (int i = 0; i < inner; ++i) unit += "a(";
  unit += "10 12";
  for (int i = 0; i < inner; ++i) unit += ')';
  unit += ' ';
  std::string text = "(";
  text.reserve(size);
  while (text.size() + unit.size() + 1 <= size) text += unit;
  return closeAt(std::move(text), size);
}

std::string SixteenMonitorsScenario() {
  std::ifstream file(LUMRA_BENCH_SCENARIO_DIR "/sixteen-monitors.json", std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::vector<platform::DarwinNativeMonitorInfo> NativeMonitors(std::size_t count, bool twins) {
  std::vector<platform::DarwinNativeMonitorInfo> items;
  for (std::size_t i = 0; i < count; ++i) {
    platform::DarwinNativeMonitorInfo item;
    const auto n = static_cast<std::uint32_t>(i);
    item.DisplayID = 0x2A5C0F00u + n;
    item.EndpointID = 0x100000400u + n * 0x10u;
    item.VendorID = 0x3E56;
    item.ProductID = twins ? 0x2710 : 0x2710 + n;
    item.Serial = twins ? 0x00A1B2C3u + n / 2 : 0x00A1B2C3u + n;
    item.Backend = LUMRA_BACKEND_IOFRAMEBUFFER;
    item.ChipAddress = 0x37;
    item.Name = "Orvane Q27 Pro";
    char location[96];
    std::snprintf(location, sizeof location, "IOService:/sim/gpu@0/fb@%zu/display0/AppleDisplay",
                  i);
    item.Location = location;
    item.Mode = ddc::DisplayMode{2560, 1440, 74.97, 2560, 1440};
    items.push_back(std::move(item));
  }
  return items;
}

std::vector<ddc::Monitor> ListedMonitors(std::size_t count) {
  const auto built = platform::BuildDarwinMonitors(NativeMonitors(count, false), {});
  std::vector<ddc::Monitor> monitors;
  for (const platform::DarwinMonitor& monitor : built) monitors.push_back(monitor.Info);
  return monitors;
}

}  // namespace lumra::bench
