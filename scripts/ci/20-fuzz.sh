#!/usr/bin/env bash
# Every fuzz target for about 30 seconds (scripts/fuzz.sh), after installing clang and its
# libFuzzer runtime when they are missing.
set -euo pipefail
cd "$(dirname "$0")/../.."

runtime_present() {
  compgen -G "/usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a" >/dev/null ||
    compgen -G "/usr/lib/llvm-*/lib/clang/*/lib/x86_64-*/libclang_rt.fuzzer.a" >/dev/null
}
need=()
if ! command -v clang++ >/dev/null || ! runtime_present; then
  need+=(clang libclang-rt-dev)
fi
scripts/install-deps.sh "${need[@]}"

# Two targets at a time on the two cores.
LUMRA_FUZZ_JOBS=${LUMRA_FUZZ_JOBS:-2} scripts/fuzz.sh "${LUMRA_FUZZ_SECONDS:-30}"
