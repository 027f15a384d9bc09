#!/usr/bin/env bash
# Runs a command on a real X server as a user's desktop has one: Xvfb with the
# openbox window manager, on Qt's xcb platform; both are stopped afterwards.
#   desktop.sh COMMAND [ARGS...]
# Where no X server can be started it says so and exits 0: the offscreen run of
# the same tests stands. The command's own exit code is returned otherwise.
set -uo pipefail

if ! command -v Xvfb >/dev/null || ! command -v openbox >/dev/null; then
  echo "desktop: Xvfb or openbox is not installed; the offscreen run stands"
  exit 0
fi

# A display number nobody holds.
display=""
for n in $(seq 90 130); do
  if [ ! -e "/tmp/.X${n}-lock" ] && [ ! -e "/tmp/.X11-unix/X${n}" ]; then
    display="$n"
    break
  fi
done
if [ -z "$display" ]; then
  echo "desktop: no free X display number; the offscreen run stands"
  exit 0
fi

log="$(mktemp -d)"
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp -noreset >"$log/xvfb.log" 2>&1 &
xvfb=$!
wm=""
stop() {
  [ -n "$wm" ] && kill "$wm" 2>/dev/null && wait "$wm" 2>/dev/null
  kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
  rm -rf "$log"
}
trap stop EXIT

# The server is up once its socket is there (60 s at most, for a loaded machine).
for _ in $(seq 600); do
  [ -S "/tmp/.X11-unix/X${display}" ] && break
  kill -0 "$xvfb" 2>/dev/null || break
  sleep 0.1
done
if [ ! -S "/tmp/.X11-unix/X${display}" ]; then
  echo "desktop: Xvfb did not start; the offscreen run stands"
  sed 's/^/desktop:   /' "$log/xvfb.log" | tail -5
  exit 0
fi
export DISPLAY=":$display"
openbox --sm-disable >"$log/openbox.log" 2>&1 &
wm=$!
# The window manager is running once it has claimed the root window.
for _ in $(seq 600); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
  kill -0 "$wm" 2>/dev/null || break
  sleep 0.1
done
if ! xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; then
  echo "desktop: openbox did not start; the offscreen run stands"
  exit 0
fi

echo "desktop: X server $DISPLAY with openbox, Qt platform xcb"
export QT_QPA_PLATFORM=xcb
"$@"
rc=$?
exit "$rc"
