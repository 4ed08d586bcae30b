#!/usr/bin/env bash
# Installs what is missing, builds, creates the demo registry next to the
# executable when it is missing, and starts vesko on it.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
. "$here/scripts/deps.sh"
install_deps

build="${VESKO_BUILD_DIR:-$here/build}"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target vesko vesko_demo
"$build/demo/vesko_demo" "$build/app"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$build/app/vesko"
fi

shot="${VESKO_SCREENSHOT:-/tmp/vesko-screenshot.png}"
echo "No display found: starting vesko under a virtual display (Xvfb) for a few seconds."
xvfb-run -a -s "-screen 0 1024x600x24" bash -c '
  "$1" & pid=$!
  sleep 5
  import -window root "$2"
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
' _ "$build/app/vesko" "$shot"
echo "Screenshot of the running program: $shot"
