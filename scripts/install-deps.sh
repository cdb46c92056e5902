#!/usr/bin/env bash
# Installs the Debian packages the build needs, when they are missing, together with the
# packages named as arguments: the other scripts pass the ones they found missing, so that one
# apt-get update serves them all. Leading options (e.g. --no-install-recommends) go to
# apt-get install. On a Mac it installs nothing: it checks the tools and prints the Homebrew
# command for what is missing.
#
#   scripts/install-deps.sh [--without-tests] [APT-OPTION...] [PACKAGE...]
#
# --without-tests: the caller builds no tests, so a Mac needs no GoogleTest.
set -euo pipefail

tests=yes
if [ "${1:-}" = --without-tests ]; then
  tests=no
  shift
fi

if [ "$(uname -s)" = Darwin ]; then
  # Homebrew puts GoogleTest under its prefix: /opt/homebrew on Apple silicon, /usr/local on
  # Intel. CMake finds it there as long as that prefix's bin/ is on PATH.
  gtest_installed() {
    local prefix
    for prefix in ${HOMEBREW_PREFIX:-} /opt/homebrew /usr/local; do
      [ -f "$prefix/include/gtest/gtest.h" ] && return 0
    done
    return 1
  }
  missing=()
  command -v cmake >/dev/null || missing+=(cmake)
  command -v ninja >/dev/null || missing+=(ninja)
  [ $tests = no ] || gtest_installed || missing+=(googletest)
  if ! xcrun --find clang++ >/dev/null 2>&1; then
    echo "no C++ compiler: install Apple's command line tools with: xcode-select --install" >&2
    exit 1
  fi
  [ ${#missing[@]} -eq 0 ] && exit 0
  echo "missing build tools: ${missing[*]}; install them with:" >&2
  echo "  brew install ${missing[*]}" >&2
  exit 1
fi

options=()
while [ $# -gt 0 ] && [[ $1 == -* ]]; do
  options+=("$1")
  shift
done
need=("$@")
command -v cmake >/dev/null || need+=(cmake)
command -v ninja >/dev/null || need+=(ninja-build)
command -v g++ >/dev/null || need+=(g++)
command -v ld.lld >/dev/null || need+=(lld)
[ -f /usr/include/gtest/gtest.h ] || need+=(libgtest-dev)
[ -f /usr/include/nlohmann/json.hpp ] || need+=(nlohmann-json3-dev)
[ ${#need[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
# .ci/run runs checks side by side: one apt-get at a time, the others wait their turn.
exec 9>"${TMPDIR:-/tmp}/lumra-install-deps.lock"
flock 9
$sudo apt-get update
$sudo apt-get install -y "${options[@]}" "${need[@]}"
