// Parses (and with "render", also renders to JSON) one generated capabilities string, once.
// Run under callgrind with --toggle-collect on the parse and render functions, it gives the
// exact instruction count of one call, so scripts/bench.sh can show the work per input byte
// without the timing noise of a shared machine.
//
//   lumra_bench_parse_once SIZE DEPTH [render]     (DEPTH 0: the flat shape)
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "capabilities/parser.hpp"
#include "cli/json_records.hpp"
#include "micro/inputs.hpp"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: lumra_bench_parse_once SIZE DEPTH [render]\n");
    return 2;
  }
  const auto size = static_cast<std::size_t>(std::strtoul(argv[1], nullptr, 10));
  const int depth = std::atoi(argv[2]);
  const bool render = argc > 3 && std::strcmp(argv[3], "render") == 0;
  const std::string input = depth == 0 ? lumra::bench::FlatCapabilities(size)
                                       : lumra::bench::NestedCapabilities(size, depth);
  const auto parsed = lumra::capabilities::Parse(input);
  if (parsed.Err) {
    std::fprintf(stderr, "%s\n", parsed.Err.Message().c_str());
    return 1;
  }
  if (render) {
    // The command's own bound: a deep tree doubles at every level and is refused at the limit.
    lumra::support::JSONWriter writer(false, lumra::cli::kMaximumCapabilitiesJSON);
    lumra::cli::WriteDocumentJSON(writer, parsed.Value);
    if (writer.Failed()) {
      std::printf("too large to render\n");
    } else {
      std::printf("%zu\n", writer.Text().size());
    }
  }
  return 0;
}
