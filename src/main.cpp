#include <unistd.h>

#include <string>
#include <vector>

#include "cli/descriptor_stream.hpp"
#include "cli/entry.hpp"
#include "platform/transport.hpp"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  const auto transport = lumra::platform::Open();
  lumra::cli::DescriptorStream out(STDOUT_FILENO);
  lumra::cli::DescriptorStream err(STDERR_FILENO);
  return lumra::cli::RunAndClose(arguments, out, err, *transport);
}
