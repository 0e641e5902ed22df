#!/usr/bin/env bash
# Builds everything for both architectures and runs every test under 64-bit Wine.
# On a fresh Debian 12 machine it first installs what is missing (apt-get).
set -euo pipefail
cd "$(dirname "$0")"
root=$(pwd)
build="$root/build"
jobs=$(nproc 2>/dev/null || echo 4)

bash cmake/setup.sh "$build/deps"

for arch in i686 x86_64; do
  echo "== build: $arch"
  # Only the x86_64 build runs tests here, so only it builds them.
  with_tests=ON; [ "$arch" = i686 ] && with_tests=OFF
  cmake -S . -B "$build/$arch" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$arch-w64-mingw32.cmake" \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVARA_DEPS_DIR="$build/deps" -DKELVARA_BUILD_TESTS=$with_tests \
        >"$build/configure-$arch.log" \
        || { cat "$build/configure-$arch.log"; exit 1; }
  cmake --build "$build/$arch" -j "$jobs" -- --no-print-directory
done

# The shipped 32-bit build can't run here (no 32-bit Wine on this kernel): check what can be
# checked on the host: its export table, and the import tables of the shipped binaries.
echo "== host checks: i686"
ctest --test-dir "$build/i686" -L host --output-on-failure

tests="$build/x86_64"
source cmake/test-env.sh
trap kelvara_stop_test_env EXIT
kelvara_start_display

# A throwaway prefix for this run, created once; one wineserver serves every test.
echo "== wine prefix"
kelvara_fresh_prefix

echo "== tests: x86_64 under wine64"
ctest --test-dir "$tests" -j "$jobs" --output-on-failure "$@"
