# The place where the x86_64 tests run under 64-bit Wine, shared by ./test.sh and tests/soak.sh:
# a private X display for the GUI tests, the build's throwaway Wine prefix and one wineserver
# for the whole run. Source it with $tests set to the x86_64 build folder.

wineserver=/usr/lib/wine/wineserver
export WINEPREFIX="$tests/wineprefix"

kelvara_stop_test_env() {
  WINEPREFIX="$WINEPREFIX" "$wineserver" -k >/dev/null 2>&1 || true
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" >/dev/null 2>&1 || true
}

source "$(dirname "${BASH_SOURCE[0]}")/xvfb.sh"

# A new prefix, created once; the server stays up for every test after it.
kelvara_fresh_prefix() {
  "$wineserver" -k >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX" "$tests/xdg"
  mkdir -p "$WINEPREFIX"
  "$wineserver" -p
  "$tests/wine-run.sh" cmd /c exit 0 >/dev/null 2>&1
  # Without a window manager, Wine's managed windows take seconds to go away.
  "$tests/wine-run.sh" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
}
