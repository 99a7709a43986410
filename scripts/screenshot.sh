#!/usr/bin/env bash
# Makes docs/screenshot.png: the Corvelle window after one resolution. Runs the program on a virtual X
# display (Xvfb, no window manager) against the simulated share service on 127.0.0.1, presses Parse on
# the pre-filled sample link, and captures the window with xwd.
#   scripts/screenshot.sh [OUTPUT.png]
set -euo pipefail
cd "$(dirname "$0")/.."
output="${1:-docs/screenshot.png}"

bash scripts/bootstrap.sh
cmake --preset release >/dev/null
cmake --build --preset release -j2 --target corvelle corvelle-share-service

workdir="$(mktemp -d)"
pids=()
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[i]}" 2>/dev/null || true
    wait "${pids[i]}" 2>/dev/null || true
  done
  rm -rf "$workdir"
}
trap cleanup EXIT

# Waits up to 10 s for a command to succeed.
wait_for() {
  for _ in $(seq 100); do
    "$@" && return 0
    sleep 0.1
  done
  echo "screenshot: gave up waiting for: $*" >&2
  return 1
}

# Xvfb picks a free display number and writes it to the given descriptor once it accepts clients.
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$workdir/display" 2>"$workdir/xvfb.log" &
pids+=($!)
wait_for test -s "$workdir/display"
export DISPLAY=":$(head -n 1 "$workdir/display")"

build/release/tools/share_service/corvelle-share-service --no-https >"$workdir/service.out" 2>&1 &
pids+=($!)
wait_for grep -q '^origin ' "$workdir/service.out"
export CORVELLE_SERVICE_ORIGIN="$(sed -n 's/^origin //p' "$workdir/service.out" | head -n 1)"

build/release/src/app/corvelle >"$workdir/corvelle.log" 2>&1 &
pids+=($!)
wait_for xdotool search --onlyvisible --name '^Corvelle$' >"$workdir/window"
window="$(head -n 1 "$workdir/window")"

# Btn_parse sits at 352,8 and is 96 x 32; the resolution is local and takes milliseconds, the rest of
# the pause lets the window repaint.
xdotool mousemove --window "$window" 400 24 click 1
sleep 2
xdotool mousemove 0 0
sleep 0.5

mkdir -p "$(dirname "$output")"
xwd -id "$window" -silent | xwdtopnm 2>/dev/null | pnmtopng >"$output"
echo "screenshot: wrote $output"
