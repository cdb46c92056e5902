#include "process/spawn.hpp"

#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

extern char** environ;

namespace lumra::bench {

int SpawnSilenced(pid_t& child, char* const argv[]) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  const int spawned = posix_spawnp(&child, argv[0], &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  return spawned;
}

}  // namespace lumra::bench
