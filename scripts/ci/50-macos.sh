#!/usr/bin/env bash
# Builds lumra for macOS 11 against the SDK subset in ../shared/macos-sdk (or LUMRA_MACOS_SDK)
# with clang and ld64.lld: both architectures, the universal binary, and every test executable a
# Mac builds (arm64). Nothing built here can run here; the checks read the Mach-O files.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
sdk=${LUMRA_MACOS_SDK:-$root/../shared/macos-sdk}
if [ ! -d "$sdk/usr/include/c++/v1" ]; then
  echo "macOS build check skipped: no macOS SDK at $sdk"
  exit 0
fi
sdk=$(cd "$sdk" && pwd)
export LUMRA_MACOS_SDK=$sdk

need=()
command -v clang++-14 >/dev/null || need+=(clang-14)
command -v ld64.lld-14 >/dev/null || need+=(lld-14)
command -v llvm-objdump-14 >/dev/null || need+=(llvm-14)
command -v file >/dev/null || need+=(file)
[ -f /usr/src/googletest/CMakeLists.txt ] || need+=(googletest)
scripts/install-deps.sh "${need[@]}"

out=$root/build/macos
toolchain=$root/cmake/toolchains/macos.cmake
mkdir -p "$out"

fail() {
  echo "macOS build check: $*" >&2
  exit 1
}

# Configures and builds one architecture with its preset; every compiler or linker warning
# fails the check.
build() {
  local preset=$1 dir=$2
  shift 2
  # Executables of an earlier configuration would pass for this one's.
  rm -f "$dir"/lumra "$dir"/tests/lumra_*_tests
  cmake --preset "$preset" --fresh "$@" >/dev/null
  cmake --build --preset "$preset" 2>&1 | tee "$dir/build.log"
  if grep -q 'warning:' "$dir/build.log"; then fail "warnings in $dir/build.log"; fi
}

# With -undefined dynamic_lookup a missing definition still links, as a flat lookup; none of
# ours (lumra's or GoogleTest's) may be one.
check_own_symbols_defined() {
  local missing
  missing=$(llvm-objdump-14 --macho --bind --lazy-bind "$1" |
    awk '$0 ~ /flat-namespace/ { print $NF }' | grep -E '5lumra|^_lumra_|7testing' || true)
  [ -z "$missing" ] || fail "$1 leaves its own symbols undefined: $missing"
}

# Framework symbols must be bound to their framework: a flat lookup means the SDK's framework
# does not export the name, so dyld would fail or find it elsewhere on a real Mac.
check_binary() {
  local binary=$1 arch=$2 flat
  file "$binary" | grep -q "Mach-O 64-bit.*$arch" || fail "$binary is not a $arch Mach-O executable"
  flat=$(llvm-objdump-14 --macho --bind --lazy-bind "$binary" |
    awk '$0 ~ /flat-namespace/ { print $NF }' | grep -E '^_+(k?CF|k?CG|k?IO)[A-Za-z]' || true)
  [ -z "$flat" ] || fail "framework symbols left as flat lookups in $binary: $flat"
  llvm-objdump-14 --macho --private-headers "$binary" | grep -A4 LC_BUILD_VERSION |
    grep -Eq 'minos 11\.0$' || fail "$binary does not say minos 11.0"
  check_own_symbols_defined "$binary"
  echo "$binary: $arch, minos 11.0, framework symbols bound ($(stat -c %s "$binary") bytes)"
}

# GoogleTest from Debian's sources, built by the same toolchain for the arm64 test executables;
# unoptimised, like them, since nothing built here runs.
gtest=$out/googletest-arm64
cmake -S /usr/src/googletest -B "$gtest/build" -G Ninja --fresh \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_OSX_ARCHITECTURES=arm64 \
  -DCMAKE_BUILD_TYPE= -DBUILD_GMOCK=OFF -DCMAKE_INSTALL_PREFIX="$gtest/prefix" >/dev/null
cmake --build "$gtest/build"
cmake --install "$gtest/build" >/dev/null

# arm64: lumra and the test executables (test discovery would run them, so it waits for ctest).
build macos-arm64 "$out/arm64"
build macos-x86_64 "$out/x86_64"
check_binary "$out/arm64/lumra" arm64
check_binary "$out/x86_64/lumra" x86_64
tests=$(find "$out/arm64/tests" -maxdepth 1 -type f -name 'lumra_*_tests' | sort)
[ -n "$tests" ] || fail "no test executables were built"
for t in $tests; do
  file "$t" | grep -q 'Mach-O 64-bit.*arm64' || fail "$t is not an arm64 Mach-O executable"
  check_own_symbols_defined "$t"
done
echo "test executables (arm64): $(echo "$tests" | xargs -n1 basename | tr '\n' ' ')"

llvm-lipo-14 -create "$out/arm64/lumra" "$out/x86_64/lumra" -output "$out/lumra"
archs=$(llvm-lipo-14 -archs "$out/lumra")
for arch in arm64 x86_64; do
  [[ " $archs " == *" $arch "* ]] || fail "universal binary lacks $arch (has: $archs)"
done
echo "$out/lumra: universal ($archs), $(stat -c %s "$out/lumra") bytes"
