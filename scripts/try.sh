#!/usr/bin/env bash
# Builds lumra and takes it through its main job. Without a Mac it runs on the built-in
# simulated monitors (see docs/simulator.md), keeping their state in a scratch HOME.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target lumra
lumra=build/release/lumra

if [ "$(uname -s)" != Darwin ]; then
  HOME="$(mktemp -d)"
  export HOME
  trap 'rm -rf "$HOME"' EXIT
fi

show() {
  echo "\$ lumra $*"
  "$lumra" "$@" || true
  echo
}
show list
show get 0 brightness
show set 0 brightness 40
show get 0 brightness
show set 0 input 17
echo "\$ lumra --json capabilities 0   (first 300 bytes)"
"$lumra" --json capabilities 0 | head -c 300
echo " …"
