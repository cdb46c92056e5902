#include <unistd.h>

#include <string>
#include <utility>
#include <vector>

#include "cli/descriptor_stream.hpp"
#include "cli/entry.hpp"
#include "platform/lock/endpoint_lock_holder.hpp"
#include "platform/transport.hpp"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  lumra::platform::DarwinTransportOptions options;
  // This process ends right after its commands, so its quiet-time holders may be its children.
  options.Lock.HandOver = lumra::platform::StartQuietHolderAsChild;
  const auto transport = lumra::platform::Open(std::move(options));
  lumra::cli::DescriptorStream out(STDOUT_FILENO);
  lumra::cli::DescriptorStream err(STDERR_FILENO);
  return lumra::cli::RunAndClose(arguments, out, err, *transport);
}
