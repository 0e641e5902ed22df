#!/usr/bin/env bash
# start_bench.sh [runs] [folder with Kelvara.exe ...]: the time from starting Kelvara.exe under
# wine64 to its main window being on the screen, measured from outside the program, beside the
# same figure for Wine's own notepad (the floor that Wine sets on this machine).
#
# Each run starts from a fresh copy of a prefix made once (so each first start is a first run of
# the program on a fresh prefix) and a wineserver started fresh on it:
#   cold: the first start after that server came up (Wine boots its services and desktop with it),
#   warm: the next start, after the first instance has been closed the way a user closes it.
# "On the screen" is the moment the X server shows the window as viewable (polled every 10 ms on a
# private Xvfb display, with no window manager in between). Prints the median of the runs with
# their spread. For each start it also prints the window's longest answer to a message in the 3 s
# after it shows (asked every 5 ms from inside Wine by start_closer, which starts beside the
# program and waits for its window). Each further folder (holding Kelvara.exe and engine.dll, such as a copy of an
# older build) is measured the same way, its runs taken in turn with the others so that a busy
# machine weighs on all alike. The x86_64 build must have been built (./test.sh does that).
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-3}
shift || true
tests=$(pwd)/build/x86_64
bin="$tests/bin"
folders=("$bin")
[ $# -gt 0 ] && folders=("$@")
for file in "$bin/start_closer.exe" "${folders[@]/%//Kelvara.exe}" "${folders[@]/%//engine.dll}"; do
  [ -f "$file" ] || { echo "$file is missing: build the x86_64 tree first" >&2; exit 1; }
done

wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
kelvara_title="Bellwort Registry Reriraz"
notepad_title="Untitled - Notepad"
work="$tests/start-bench"
template="$work/template"
export WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
export XDG_DATA_HOME="$work/xdg"

stop_all() {
  WINEPREFIX="$template" "$wineserver" -k >/dev/null 2>&1 || true
  WINEPREFIX="$work/prefix" "$wineserver" -k >/dev/null 2>&1 || true
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" >/dev/null 2>&1 || true
}
trap stop_all EXIT

source cmake/xvfb.sh
kelvara_start_display || exit 1

if [ ! -f "$template/.start-bench-ready" ]; then
  echo "== creating the bench's prefix template (once)"
  rm -rf "$template"
  mkdir -p "$template"
  WINEPREFIX="$template" "$wine" wineboot >/dev/null 2>&1
  # A Windows version the program accepts without asking; no window manager on this display.
  WINEPREFIX="$template" "$wine" reg add 'HKCU\Software\Wine' /v Version /d win7 /f >/dev/null 2>&1
  WINEPREFIX="$template" "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  WINEPREFIX="$template" "$wineserver" -w
  touch "$template/.start-bench-ready"
fi

export WINEPREFIX="$work/prefix"
program_dir="$WINEPREFIX/drive_c/Program Files/Kelvara"

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

window_viewable() {
  xwininfo -name "$1" 2>/dev/null | grep -q IsViewable
}

# start_once <title> <program> [arguments]: starts the program, prints the milliseconds until its
# window is viewable and its longest answer in the 3 s after, then closes it and waits until it
# has ended.
start_once() {
  local title=$1 start program closer code shown answer
  shift
  start=$(now_ms)
  "$wine" "$@" >/dev/null 2>&1 &
  program=$!
  # The asker starts with the program, so that it is ready when the window shows.
  "$wine" "$bin/start_closer.exe" "$title" 60 3000 >"$work/answer" 2>/dev/null &
  closer=$!
  for _ in $(seq 6000); do
    window_viewable "$title" && break
    if ! kill -0 "$program" 2>/dev/null; then
      code=0; wait "$program" || code=$?
      echo "$* ended without a window (exit code $code)" >&2
      kill "$closer" 2>/dev/null; wait "$closer" 2>/dev/null
      return 1
    fi
    sleep 0.01
  done
  window_viewable "$title" || { echo "$*: no window within a minute" >&2; kill "$closer" 2>/dev/null; return 1; }
  shown=$(( $(now_ms) - start ))
  wait "$closer" || return 1
  answer=$(tr -d '\r' <"$work/answer")
  wait "$program" || true
  echo "$shown $answer"
}

# fresh_server [Kelvara folder]: a fresh copy of the template, with that Kelvara in it, and a new
# wineserver on it.
fresh_server() {
  "$wineserver" -k >/dev/null 2>&1 || true
  "$wineserver" -w >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX"
  cp -a "$template" "$WINEPREFIX"
  if [ $# -gt 0 ]; then
    mkdir -p "$program_dir"
    cp "$1/Kelvara.exe" "$1/engine.dll" "$program_dir/"
  fi
  "$wineserver" -p
}

# cold_and_warm <key> <title> <program> [Kelvara folder]: one cold and one warm start on a fresh
# server, added to figures[<key> cold] and figures[<key> warm]. A start that ends without a window
# (Wine's own start fails now and then on a busy machine) is said and the pair taken again, twice
# at most.
declare -A figures
cold_and_warm() {
  local key=$1 title=$2 program=$3 folder=${4:-} cold warm
  for _ in 1 2 3; do
    if [ -n "$folder" ]; then fresh_server "$folder"; else fresh_server; fi
    if cold=$(start_once "$title" "$program") && warm=$(start_once "$title" "$program"); then
      figures[$key cold]+=" ${cold% *}"
      figures[$key warm]+=" ${warm% *}"
      figures[$key cold answer]+=" ${cold#* }"
      figures[$key warm answer]+=" ${warm#* }"
      return 0
    fi
    echo "  (taken again)" >&2
  done
  return 1
}

for run in $(seq "$runs"); do
  cold_and_warm notepad "$notepad_title" notepad.exe
  for index in "${!folders[@]}"; do
    cold_and_warm "$index" "$kelvara_title" "$program_dir/Kelvara.exe" "${folders[$index]}"
  done
  "$wineserver" -k >/dev/null 2>&1 || true
  echo "run $run done"
done

# median_of <scale> <unit> <label> <milliseconds...>: the median and the spread, in milliseconds
# divided by <scale>.
median_of() {
  local scale=$1 unit=$2 label=$3
  shift 3
  local digits=0
  [ "$scale" -gt 1 ] && digits=2
  printf '%s\n' "$@" | sort -n | awk -v label="$label" -v scale="$scale" -v unit="$unit" -v d="$digits" '
    { v[NR] = $1 / scale }
    END {
      median = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
      f = "%." d "f"
      printf "%-44s %5" (d ? ".2f" : ".0f") " %s (" f "-" f " %s, median of %d)\n", label, median, unit, v[1], v[NR], unit, NR
    }'
}
summary() { median_of 1000 s "$@"; }
summary_ms() { median_of 1 ms "$@"; }
for index in "${!folders[@]}"; do
  name="Kelvara.exe"
  [ ${#folders[@]} -gt 1 ] && name="Kelvara.exe (${folders[$index]})"
  # shellcheck disable=SC2086
  summary "$name, start to main window, cold:" ${figures[$index cold]}
  # shellcheck disable=SC2086
  summary "$name, start to main window, warm:" ${figures[$index warm]}
  # shellcheck disable=SC2086
  summary_ms "$name, longest answer in 3 s, cold:" ${figures[$index cold answer]}
  # shellcheck disable=SC2086
  summary_ms "$name, longest answer in 3 s, warm:" ${figures[$index warm answer]}
done
# shellcheck disable=SC2086
summary "Wine's notepad, start to its window, cold:" ${figures[notepad cold]}
# shellcheck disable=SC2086
summary "Wine's notepad, start to its window, warm:" ${figures[notepad warm]}
