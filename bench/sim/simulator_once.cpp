// Does in a fresh process exactly the simulator's part of one lumra command, and nothing else:
// load the scenario and run the command's exchanges with no pauses. scripts/bench.sh times it
// against "none" (the same process doing nothing) to get the simulator's cold share of each
// command, page faults and file system work included.
//
//   lumra_bench_simulator_once none | load | get | set | adjust | capabilities FRAGMENTS
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ddcci/frame.hpp"
#include "sim/sim_exchange.hpp"

namespace {

int usage() {
  std::fprintf(stderr,
               "usage: lumra_bench_simulator_once none | load | get | set | adjust | "
               "capabilities N\n");
  return 2;
}

bool exchanges(const char* mode, int fragments) {
  const lumra::bench::SimI2CConnection connection;
  if (std::strcmp(mode, "get") == 0) {
    return lumra::bench::SimExchange(connection, lumra::ddcci::BuildGetVCP(0x10), 11);
  }
  if (std::strcmp(mode, "set") == 0) {
    return lumra::bench::SimExchange(connection, lumra::ddcci::BuildSetVCP(0x10, 40), 0);
  }
  if (std::strcmp(mode, "adjust") == 0) {
    return lumra::bench::SimExchange(connection, lumra::ddcci::BuildGetVCP(0x10), 11) &&
           lumra::bench::SimExchange(connection, lumra::ddcci::BuildSetVCP(0x10, 70), 0);
  }
  for (int i = 0; i < fragments; ++i) {
    const auto request = lumra::ddcci::BuildCapabilitiesRequest(static_cast<std::uint16_t>(32 * i));
    if (!lumra::bench::SimExchange(connection, request, 38)) return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage();
  const char* mode = argv[1];
  if (std::strcmp(mode, "none") == 0) return 0;
  const bool known = std::strcmp(mode, "load") == 0 || std::strcmp(mode, "get") == 0 ||
                     std::strcmp(mode, "set") == 0 || std::strcmp(mode, "adjust") == 0 ||
                     (std::strcmp(mode, "capabilities") == 0 && argc == 3);
  if (!known) return usage();
  if (!lumra::bench::LoadSimulatedWorld()) return 1;
  if (std::strcmp(mode, "load") == 0) return 0;
  const int fragments = argc == 3 ? std::atoi(argv[2]) : 0;
  return exchanges(mode, fragments) ? 0 : 1;
}
