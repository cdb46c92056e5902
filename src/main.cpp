#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "cli/descriptor_stream.hpp"
#include "cli/entry.hpp"
#include "platform/lock/endpoint_lock_holder.hpp"
#include "platform/transport.hpp"

namespace {

sigset_t BrokenPipe() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGPIPE);
  return signals;
}

// The last exit handler: by now a holder has the locks this process kept for their quiet time
// (DeferQuietHolder), so a reader that closed its pipe early may end the process, as the write
// would have.
void LetABrokenPipeEndTheProcess() {
  const sigset_t brokenPipe = BrokenPipe();
  pthread_sigmask(SIG_UNBLOCK, &brokenPipe, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  // Registered first, so that it runs after every exit handler set up later.
  std::atexit(LetABrokenPipeEndTheProcess);
  const sigset_t brokenPipe = BrokenPipe();
  pthread_sigmask(SIG_BLOCK, &brokenPipe, nullptr);

  const std::vector<std::string> arguments(argv + 1, argv + argc);
  lumra::platform::DarwinTransportOptions options;
  // The quiet-time holder forks at exit, once the process has torn itself down.
  options.Lock.HandOver = lumra::platform::DeferQuietHolder;
  const auto transport = lumra::platform::Open(std::move(options));
  lumra::cli::DescriptorStream out(STDOUT_FILENO);
  lumra::cli::DescriptorStream err(STDERR_FILENO);
  return lumra::cli::RunAndClose(arguments, out, err, *transport);
}
