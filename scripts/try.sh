#!/usr/bin/env bash
# Builds lumra and takes it through its main job. Without a Mac it runs on the built-in
# simulated monitors (see docs/simulator.md), keeping their state in a scratch HOME. On a Mac it
# reaches the real monitors, so it only reads: it writes nothing to them.
set -euo pipefail
cd "$(dirname "$0")/.."
lumra=build/release/lumra

show() {
  echo "\$ lumra $*"
  "$lumra" "$@" || true
  echo
}

if [ "$(uname -s)" = Darwin ]; then
  scripts/install-deps.sh --without-tests
  cmake --preset release -DLUMRA_BUILD_TESTS=OFF >/dev/null
  cmake --build --preset release --target lumra
  show list
  if [ "$("$lumra" --json list 2>/dev/null || true)" = "[]" ]; then
    echo "No external monitor answers DDC/CI on this Mac: connect one (directly or through a"
    echo "dock that passes DDC/CI on, not a DisplayLink adapter) and run scripts/try.sh again."
    exit 0
  fi
  show get 0 brightness
  show capabilities 0
  echo "Nothing was written. To change a setting: $lumra set 0 brightness 40"
  exit 0
fi

scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target lumra
HOME="$(mktemp -d)"
export HOME
trap 'rm -rf "$HOME"' EXIT

show list
show get 0 brightness
show set 0 brightness 40
show get 0 brightness
show set 0 input 17
echo "\$ lumra --json capabilities 0   (first 300 bytes)"
"$lumra" --json capabilities 0 | head -c 300
echo " …"
