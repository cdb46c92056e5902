#include "cli/entry.hpp"

#include "cli/printer.hpp"

namespace lumra::cli {

namespace {

// The same in both languages: the catalog is not consulted outside a command.
constexpr std::string_view kCloseFailedPrefix = "close backend failed / 关闭后端失败";

}  // namespace

int RunAndClose(std::span<const std::string> arguments, std::ostream& out, std::ostream& err,
                ddc::Transport& transport, EnvironmentLookup getenv) {
  int status = Run(support::Context(), arguments, out, err, transport, std::move(getenv));
  if (const support::Error closed = transport.Close()) {
    WriteLifecycleError(err, arguments, kCloseFailedPrefix, closed);
    if (status == 0) status = 1;
  }
  return status;
}

}  // namespace lumra::cli
