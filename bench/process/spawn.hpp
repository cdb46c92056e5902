#pragma once

#include <sys/types.h>

namespace lumra::bench {

// Starts `argv` (null-terminated, looked up on PATH) with its standard output and error on
// /dev/null. Returns posix_spawnp's result: 0, or the error number.
int SpawnSilenced(pid_t& child, char* const argv[]);

}  // namespace lumra::bench
