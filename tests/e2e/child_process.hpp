// A child process that runs while the test goes on: started, watched, killed or waited for.
// It can also run as another user, so permission checks bind when the tests run as root.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

#include "e2e/process.hpp"

namespace lumra::testing {

// The unprivileged account that permission tests switch to when they run as root.
inline constexpr uid_t kNobodyUser = 65534;
inline constexpr gid_t kNobodyGroup = 65534;

struct ChildOptions {
  // Run as this user and group (needs root); none: as the test itself.
  std::optional<uid_t> user;
  std::optional<gid_t> group;
  // Standard output is a pipe that nobody reads: its reading end is closed before the start.
  bool outputUnread = false;
};

class Child {
 public:
  // Starts `program`; Started() is false when it could not be.
  Child(const std::string& program, const std::vector<std::string>& arguments,
        const EnvironmentChanges& environment, const ChildOptions& options = {});
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  bool Started() const { return pid_ > 0; }
  pid_t Pid() const { return pid_; }
  // True while the process has not ended (it is not reaped here).
  bool Running() const;
  void Kill(int signal) const;
  // Collects both outputs to their end, then waits for the process.
  ProcessResult Finish();

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  int err_ = -1;
  bool finished_ = false;
};

// Runs `program` with `arguments` and the current environment changed by `environment`,
// collecting standard output and standard error.
ProcessResult runProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const EnvironmentChanges& environment);

// What a child wrote, one entry per write call it made.
struct WriteLog {
  int status = -1;
  std::vector<std::string> out;
  std::vector<std::string> err;
};

// Runs `program` with standard output and error on sockets that keep the boundaries of
// messages (SOCK_SEQPACKET), so each write the program makes arrives as one entry.
WriteLog runRecordingWrites(const std::string& program, const std::vector<std::string>& arguments,
                            const EnvironmentChanges& environment);

// runProcess with the options of Child.
ProcessResult runChild(const std::string& program, const std::vector<std::string>& arguments,
                       const EnvironmentChanges& environment, const ChildOptions& options);

}  // namespace lumra::testing
