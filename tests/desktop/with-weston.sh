#!/bin/sh
# Runs a command as a client of a private Weston compositor with Qt's Wayland platform, and
# without access to X. Weston runs nested in a private Xvfb rather than headless: its headless
# backend offers no seat, and Qt 6.4's Wayland input context crashes on key events without one.
# Skips where Weston, Xvfb or Qt's Wayland plugin is not installed.
# Usage: with-weston.sh COMMAND [ARGUMENT...]
set -u

. "$(dirname "$0")/session.sh"

for tool in Xvfb weston; do
    command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed ('make test' installs it)"
done
plugins=$(qtpaths6 --plugin-dir 2>/dev/null || true)
if [ -n "$plugins" ] && ! ls "$plugins"/platforms/libqwayland-*.so >/dev/null 2>&1; then
    skip "Qt's Wayland platform plugin is not installed (Debian package qt6-wayland)"
fi

begin_session
start_xvfb 1600x1200x24 || fail "Xvfb did not start"

export XDG_RUNTIME_DIR="$work"
socket=quillmere-test
weston --backend=x11-backend.so --use-pixman --socket="$socket" --idle-time=0 --width=1280 \
    --height=1024 >"$work/weston.log" 2>&1 &
weston_pid=$!
session_pids=$weston_pid
for attempt in $(seq 1 100); do
    [ -S "$work/$socket" ] && break
    kill -0 "$weston_pid" 2>/dev/null || break
    sleep 0.1
done
[ -S "$work/$socket" ] || { cat "$work/weston.log"; fail "weston did not start"; }

env -u DISPLAY WAYLAND_DISPLAY="$socket" QT_QPA_PLATFORM=wayland "$@"
