#!/bin/sh
# Runs a GUI test program under Wine at another screen resolution (dots per inch): in a fresh
# Wine prefix of its own whose user setting "LogPixels" says so, with a wineserver of its own,
# stopped at the end. The resolution is read when a process starts, so the program's fonts come
# out larger while the skin's pictures keep their pixels; nothing of the build's shared prefix,
# which the other test programs use meanwhile, changes.
# Usage: run-at-dpi.sh <wine-run.sh> <dpi> <prefix folder> <program> [arguments...]
set -u
wine_run=$1 dpi=$2 prefix=$3
shift 3
wineserver=/usr/lib/wine/wineserver

export WINEPREFIX="$prefix"
"$wineserver" -k >/dev/null 2>&1
rm -rf "$prefix" "$prefix.lock"
stop() { "$wineserver" -k >/dev/null 2>&1; rm -rf "$prefix" "$prefix.lock"; }
trap stop EXIT

"$wine_run" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1 &&
  "$wine_run" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 ||
  { echo "could not set up a prefix at $dpi dpi in $prefix"; exit 1; }
# The program checks that it really runs at this resolution.
KELVARA_EXPECTED_DPI=$dpi "$wine_run" "$@"
status=$?
exit $status
