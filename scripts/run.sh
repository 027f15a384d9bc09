#!/usr/bin/env bash
# Installs what is needed, builds, and runs veltrane-host on the demo database
# (created on first run in the user's data folder).
# With a display the host is interactive. Without one it runs headless on the
# offscreen platform: a short demo script prints what the window shows and saves
# a screenshot to $VELTRANE_SCREENSHOT (default: build-run/veltrane-demo.png).
# Options after the script name go to the host (e.g. --connection "...").
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${VELTRANE_BUILD_DIR:-$root/build-run}"

bash "$root/scripts/setup.sh"
VELTRANE_TARGETS="veltrane-host bVeltrane" \
  bash "$root/scripts/build.sh" "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELTRANE_BENCH=OFF

host="$build/bin/veltrane-host"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${VELTRANE_HEADLESS:-}" ]; then
  exec "$host" "$@"
fi

shot="${VELTRANE_SCREENSHOT:-$build/veltrane-demo.png}"
script="$(mktemp)"
trap 'rm -f "$script"' EXIT
sed "s|^screenshot\$|screenshot $shot|" "$root/scripts/demo.script" > "$script"
QT_QPA_PLATFORM=offscreen "$host" --screen 1280x800 --script "$script" "$@"
echo "screenshot saved to $shot"
