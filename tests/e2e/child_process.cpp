#include "e2e/child_process.hpp"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <string_view>

extern char** environ;

namespace lumra::testing {

namespace {

std::vector<std::string> environmentWith(const EnvironmentChanges& changes) {
  std::vector<std::string> entries;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    if (changes.count(text.substr(0, text.find('='))) == 0) entries.push_back(text);
  }
  for (const auto& [name, value] : changes) {
    if (value) entries.push_back(name + "=" + *value);
  }
  return entries;
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
  std::vector<char*> list;
  for (std::string& text : texts) list.push_back(text.data());
  list.push_back(nullptr);
  return list;
}

// The command line and environment of a child, made before the fork: after it, the child may
// only make async-signal-safe calls.
struct execArguments {
  execArguments(const std::string& program, const std::vector<std::string>& arguments,
                const EnvironmentChanges& environment)
      : argv(1, program), envp(environmentWith(environment)) {
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    argvPointers = pointers(argv);
    envPointers = pointers(envp);
  }
  execArguments(const execArguments&) = delete;
  execArguments& operator=(const execArguments&) = delete;

  std::vector<std::string> argv;
  std::vector<std::string> envp;
  std::vector<char*> argvPointers;
  std::vector<char*> envPointers;
};

// A pipe whose ends are not inherited by processes that other threads start meanwhile.
bool closeOnExecPipe(int ends[2]) {
  if (pipe(ends) != 0) return false;
  fcntl(ends[0], F_SETFD, FD_CLOEXEC);
  fcntl(ends[1], F_SETFD, FD_CLOEXEC);
  return true;
}

// In the child, between fork and exec: only async-signal-safe calls.
[[noreturn]] void becomeProgram(const std::string& program, char** argv, char** envp, int out,
                                int err, const ChildOptions& options) {
  dup2(out, STDOUT_FILENO);
  dup2(err, STDERR_FILENO);
  signal(SIGPIPE, SIG_DFL);
  if (options.group && (setgroups(0, nullptr) != 0 || setgid(*options.group) != 0)) _exit(126);
  if (options.user && setuid(*options.user) != 0) _exit(126);
  execve(program.c_str(), argv, envp);
  _exit(127);
}

// posix_spawn with `out` and `err` as standard output and error; -1 when it cannot.
pid_t spawnProgram(const std::string& program, char** argv, char** envp, int out, int err) {
  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return -1;
  posix_spawnattr_t attributes;
  if (posix_spawnattr_init(&attributes) != 0) {
    posix_spawn_file_actions_destroy(&actions);
    return -1;
  }
  // A broken pipe ends the program as it would from a shell, whatever this process ignores.
  sigset_t brokenPipe;
  sigemptyset(&brokenPipe);
  sigaddset(&brokenPipe, SIGPIPE);
  pid_t pid = -1;
  const bool spawned = posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO) == 0 &&
                       posix_spawn_file_actions_adddup2(&actions, err, STDERR_FILENO) == 0 &&
                       posix_spawnattr_setsigdefault(&attributes, &brokenPipe) == 0 &&
                       posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF) == 0 &&
                       posix_spawn(&pid, program.c_str(), &actions, &attributes, argv, envp) == 0;
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  return spawned ? pid : -1;
}

// Starts `program` with `out` and `err` as its standard output and error. Without a change of
// user it is spawned, which shares this process's memory until the exec where fork copies its
// page tables and leaves it copy-on-write faults to take: for a sanitized test process, whose
// shadow memory is large, more CPU than the child's own start.
pid_t startProgram(const std::string& program, char** argv, char** envp, int out, int err,
                   const ChildOptions& options) {
  if (!options.group && !options.user) {
    if (const pid_t pid = spawnProgram(program, argv, envp, out, err); pid > 0) return pid;
  }
  // A change of user, or a program that cannot be started (whose child then exits with 127).
  const pid_t pid = fork();
  if (pid == 0) becomeProgram(program, argv, envp, out, err, options);
  return pid;
}

// Reads both descriptors until both are closed, handing the bytes of each read to `sink` with
// 0 for the first descriptor and 1 for the second. On a socket that keeps message boundaries a
// read takes one whole message, when `chunk` is large enough.
void readBoth(int outFd, int errFd, std::size_t chunk,
              const std::function<void(int, std::string_view)>& sink) {
  pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
  std::vector<char> buffer(chunk);
  int open = (outFd >= 0 ? 1 : 0) + (errFd >= 0 ? 1 : 0);
  while (open > 0) {
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
      const ssize_t got = read(fds[i].fd, buffer.data(), buffer.size());
      if (got > 0) {
        sink(i, std::string_view(buffer.data(), static_cast<std::size_t>(got)));
      } else if (got == 0 || errno != EINTR) {
        fds[i].fd = -1;
        --open;
      }
    }
  }
}

int waitFor(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

Child::Child(const std::string& program, const std::vector<std::string>& arguments,
             const EnvironmentChanges& environment, const ChildOptions& options) {
  execArguments exec(program, arguments, environment);
  int outPipe[2];
  int errPipe[2];
  if (!closeOnExecPipe(outPipe)) return;
  if (!closeOnExecPipe(errPipe)) {
    close(outPipe[0]);
    close(outPipe[1]);
    return;
  }
  if (options.outputUnread) {
    close(outPipe[0]);
    outPipe[0] = -1;
  }
  pid_ = startProgram(program, exec.argvPointers.data(), exec.envPointers.data(), outPipe[1],
                      errPipe[1], options);
  close(outPipe[1]);
  close(errPipe[1]);
  out_ = outPipe[0];
  err_ = errPipe[0];
  if (pid_ < 0) Finish();
}

Child::~Child() {
  if (!finished_ && pid_ > 0) {
    Kill(SIGKILL);
    Finish();
  }
}

bool Child::Running() const {
  if (pid_ <= 0 || finished_) return false;
  siginfo_t info{};
  // WNOWAIT leaves the process to be reaped by Finish.
  if (waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) != 0) return false;
  return info.si_pid == 0;
}

void Child::Kill(int signal) const {
  if (pid_ > 0 && !finished_) kill(pid_, signal);
}

ProcessResult Child::Finish() {
  ProcessResult result;
  if (finished_) return result;
  finished_ = true;
  if (out_ >= 0 || err_ >= 0) {
    readBoth(out_, err_, 4096, [&](int i, std::string_view data) {
      (i == 0 ? result.out : result.err).append(data);
    });
  }
  if (out_ >= 0) close(out_);
  if (err_ >= 0) close(err_);
  out_ = err_ = -1;
  if (pid_ <= 0) return result;
  result.status = waitFor(pid_);
  return result;
}

WriteLog runRecordingWrites(const std::string& program, const std::vector<std::string>& arguments,
                            const EnvironmentChanges& environment) {
  execArguments exec(program, arguments, environment);
  WriteLog log;
  int outPair[2];
  int errPair[2];
  if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, outPair) != 0) return log;
  if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, errPair) != 0) {
    close(outPair[0]);
    close(outPair[1]);
    return log;
  }
  const pid_t pid = startProgram(program, exec.argvPointers.data(), exec.envPointers.data(),
                                 outPair[1], errPair[1], {});
  close(outPair[1]);
  close(errPair[1]);
  if (pid > 0) {
    readBoth(outPair[0], errPair[0], 1 << 20, [&](int i, std::string_view data) {
      (i == 0 ? log.out : log.err).emplace_back(data);
    });
    log.status = waitFor(pid);
  }
  close(outPair[0]);
  close(errPair[0]);
  return log;
}

ProcessResult runChild(const std::string& program, const std::vector<std::string>& arguments,
                       const EnvironmentChanges& environment, const ChildOptions& options) {
  Child child(program, arguments, environment, options);
  return child.Finish();
}

ProcessResult runProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const EnvironmentChanges& environment) {
  return runChild(program, arguments, environment, {});
}

}  // namespace lumra::testing
