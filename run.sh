#!/usr/bin/env bash
# Starts Kelvara.exe under Wine, with engine.dll beside it.
#
# With a display ($DISPLAY set) the program's window opens there. Without one, the program runs
# on a private X server, scans all sixteen categories the way a scheduled start does, and when the
# scan has ended a picture of the window is saved under build/screenshots/; then it goes on to the
# results page with its category tree and saves a picture of that too. The paths and the numbers
# the pages show are printed, and the program is closed.
#
# The program runs in its own Wine prefix, build/run-prefix (created on first use), unless
# WINEPREFIX is set. On a fresh Debian machine the first run installs what is missing (apt-get)
# and builds the program, as ./test.sh does.
set -euo pipefail
cd "$(dirname "$0")"
root=$(pwd)
build="$root/build"
jobs=$(nproc 2>/dev/null || echo 4)
arch=x86_64   # the build that runs on this machine's 64-bit Wine

bash cmake/setup.sh "$build/deps"
if [ ! -f "$build/$arch/CMakeCache.txt" ]; then
  cmake -S . -B "$build/$arch" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$arch-w64-mingw32.cmake" \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVARA_DEPS_DIR="$build/deps" -DKELVARA_BUILD_TESTS=ON \
        >"$build/configure-$arch.log" || { cat "$build/configure-$arch.log"; exit 1; }
fi
cmake --build "$build/$arch" -j "$jobs" --target Kelvara engine rundriver -- --no-print-directory >"$build/run-build.log" \
  || { tail -n 40 "$build/run-build.log"; exit 1; }

bin="$build/$arch/bin"
export WINEPREFIX="${WINEPREFIX:-$build/run-prefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

headless=0
[ -z "${DISPLAY:-}" ] && headless=1
cleanup() {
  if [ "$headless" = 1 ]; then
    "$wineserver" -k >/dev/null 2>&1 || true
    [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" >/dev/null 2>&1 || true
  fi
}
trap cleanup EXIT

if [ "$headless" = 1 ]; then
  source cmake/xvfb.sh
  kelvara_start_display || exit 1
fi

if [ ! -f "$WINEPREFIX/.kelvara-run-ready" ]; then
  echo "== creating the Wine prefix $WINEPREFIX (once)"
  mkdir -p "$WINEPREFIX"
  # Plain wineboot: "-i" on a new prefix would start a second service manager, under which the
  # Task Scheduler's service fails.
  "$wine" wineboot >/dev/null 2>&1
  # A Windows version the program accepts without asking.
  "$wine" reg add 'HKCU\Software\Wine' /v Version /d win7 /f >/dev/null 2>&1
  touch "$WINEPREFIX/.kelvara-run-ready"
fi

if [ "$headless" = 0 ]; then
  exec "$wine" "$bin/Kelvara.exe" "$@"
fi

# One server for the whole run (wineboot may have left one running already).
"$wineserver" -p >/dev/null 2>&1 || true
# No window manager on the private display: unmanaged windows close at once.
"$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
# All sixteen categories, as a scheduled scan of a fresh installation scans them.
"$wine" reg add 'HKLM\Software\Bellwort\Kelvara' /v LastSelectedScanTypes /t REG_DWORD /d 0x00FDF40F /f >/dev/null 2>&1

shots="$build/screenshots"
mkdir -p "$shots"
shot="$shots/run-scan.png"
results_shot="$shots/run-results.png"
rm -f "$shot" "$results_shot"
echo "== scanning all sixteen categories (no display: a private one, closed at the end)"
"$wine" "$bin/Kelvara.exe" SCHEDULE >/dev/null 2>&1 &
program=$!
status=0
"$wine" "$bin/rundriver.exe" "Z:${shot//\//\\}" "Z:${results_shot//\//\\}" || status=$?
for _ in $(seq 100); do kill -0 "$program" 2>/dev/null || break; sleep 0.2; done
if [ "$status" = 0 ] && [ -s "$shot" ] && [ -s "$results_shot" ]; then
  echo "screenshots: $shot $results_shot"
else
  echo "the scan did not finish as expected" >&2
  exit 1
fi
