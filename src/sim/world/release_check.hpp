// An opt-in check at process exit, for tests that run the binary as a separate process: with
// LUMRA_SIM_CHECK_RELEASES=1 the process reports on standard error every platform object it
// did not release and every descriptor it opened and left open, and then exits with status 70.
#pragma once

namespace lumra::sim {

// The exit status of a process whose release check failed (EX_SOFTWARE).
inline constexpr int kReleaseCheckFailedStatus = 70;

// Arms the check once per process when the environment asks for it; later calls do nothing.
// Called on the first platform call, so the descriptors open before it count as inherited.
void ArmReleaseCheckOnce();

}  // namespace lumra::sim
