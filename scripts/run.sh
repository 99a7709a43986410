#!/usr/bin/env bash
# Installs what is missing, builds, and opens the Corvelle window.
#   scripts/run.sh          against the simulated share service, started here on 127.0.0.1: no network
#                           needed; the window's pre-filled link resolves at the first press of Parse
#   scripts/run.sh --real   against the real service
set -euo pipefail
cd "$(dirname "$0")/.."

real=0
case "${1:-}" in
  --real) real=1 ;;
  "") ;;
  *) echo "usage: scripts/run.sh [--real]" >&2; exit 2 ;;
esac

bash scripts/bootstrap.sh
cmake --preset release >/dev/null
cmake --build --preset release -j2 --target corvelle corvelle-share-service

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run: no display to open the window on; scripts/screenshot.sh shows it on a virtual one." >&2
  exit 1
fi

if ((real)); then
  unset CORVELLE_SERVICE_ORIGIN
  exec build/release/src/app/corvelle
fi

workdir="$(mktemp -d)"
service_pid=""
cleanup() {
  if [ -n "$service_pid" ]; then kill "$service_pid" 2>/dev/null || true; wait "$service_pid" 2>/dev/null || true; fi
  rm -rf "$workdir"
}
trap cleanup EXIT

# Plain HTTP on loopback: nothing to trust, nothing leaves the machine.
build/release/tools/share_service/corvelle-share-service --no-https >"$workdir/service.out" 2>&1 &
service_pid=$!
origin=""
for _ in $(seq 100); do
  origin="$(sed -n 's/^origin //p' "$workdir/service.out" | head -n 1)"
  [ -n "$origin" ] && break
  kill -0 "$service_pid" 2>/dev/null || break
  sleep 0.1
done
if [ -z "$origin" ]; then
  echo "run: the simulated share service did not start:" >&2
  cat "$workdir/service.out" >&2
  exit 1
fi

echo "Simulated share service at $origin. Its sample shares (the first one is already in the window):"
sed -n 's/^share /  /p' "$workdir/service.out"
echo "The captcha share shows its captcha as a picture; type the four characters you read there."

export CORVELLE_SERVICE_ORIGIN="$origin"
build/release/src/app/corvelle
