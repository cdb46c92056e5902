#!/usr/bin/env bash
# Installs the Debian packages the build needs, when they are missing.
set -euo pipefail

need=()
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
$sudo apt-get install -y "${need[@]}"
