# kelvara_start_display: a private X display, up before Wine starts so that Wine's windows go to
# it. Sets DISPLAY and xvfb_pid (the caller kills it at its end). Sourced by ./run.sh without a
# display, by the test environment and by the start bench.
kelvara_start_display() {
  local display_file
  display_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.1; done
  if [ ! -s "$display_file" ]; then
    rm -f "$display_file"
    echo "Xvfb did not start" >&2
    return 1
  fi
  export DISPLAY=":$(head -n 1 "$display_file")"
  rm -f "$display_file"
}
