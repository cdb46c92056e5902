#!/usr/bin/env bash
# Installs the Debian packages the build needs, when they are missing, together with the
# packages named as arguments: the other scripts pass the ones they found missing, so that one
# apt-get update serves them all. Leading options (e.g. --no-install-recommends) go to
# apt-get install.
#
#   scripts/install-deps.sh [APT-OPTION...] [PACKAGE...]
set -euo pipefail

options=()
while [ $# -gt 0 ] && [[ $1 == -* ]]; do
  options+=("$1")
  shift
done
need=("$@")
command -v cmake >/dev/null || need+=(cmake)
command -v ninja >/dev/null || need+=(ninja-build)
command -v g++ >/dev/null || need+=(g++)
[ -f /usr/include/gtest/gtest.h ] || need+=(libgtest-dev)
if [ "$(uname -s)" != Darwin ]; then
  [ -f /usr/include/nlohmann/json.hpp ] || need+=(nlohmann-json3-dev)
fi
[ ${#need[@]} -eq 0 ] && exit 0

if [ "$(uname -s)" = Darwin ]; then
  echo "missing build tools: ${need[*]} (install them with your package manager)" >&2
  exit 1
fi
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update
$sudo apt-get install -y "${options[@]}" "${need[@]}"
