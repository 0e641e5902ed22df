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
export WINEPREFIX="$tests/wineprefix"
wineserver=/usr/lib/wine/wineserver
cleanup() {
  WINEPREFIX="$WINEPREFIX" "$wineserver" -k >/dev/null 2>&1 || true
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" >/dev/null 2>&1 || true
}
trap cleanup EXIT

# A private X display for the GUI tests, up before Wine starts so that Wine's desktop uses it.
display_file="$tests/xvfb-display"
rm -f "$display_file"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.1; done
[ -s "$display_file" ] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n 1 "$display_file")"

# A throwaway prefix for this run, created once; one wineserver serves every test.
echo "== wine prefix"
"$wineserver" -k >/dev/null 2>&1 || true
rm -rf "$WINEPREFIX" "$tests/xdg"
mkdir -p "$WINEPREFIX"
"$wineserver" -p
"$tests/wine-run.sh" cmd /c exit 0 >/dev/null 2>&1
# Without a window manager, Wine's managed windows take seconds to go away.
"$tests/wine-run.sh" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1

echo "== tests: x86_64 under wine64"
ctest --test-dir "$tests" -j "$jobs" --output-on-failure "$@"
