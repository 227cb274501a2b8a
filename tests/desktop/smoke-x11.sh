#!/bin/sh
# Runs the built program on a real X server (Xvfb, Qt's xcb platform) and drives it through X
# input as a person would: waits for its window, types, presses "Apply Crownify" and reads the
# result back through the clipboard, then presses "Exit Program" and expects a clean exit.
# Usage: smoke-x11.sh PROGRAM [SCALE_FACTOR]
set -u
program=$1
scale=${2:-1}
title='Change the first letter of every word to Upper Case'
typed='the QUICK brown_fox (jumps)'
expected='The Quick Brown-fox  Jumps '

. "$(dirname "$0")/session.sh"

for tool in Xvfb xdotool xclip; do
    command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed ('make test' installs it)"
done

begin_session
start_xvfb 1600x1200x24 || fail "Xvfb did not start"

mkdir -m 700 "$work/runtime"
XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=$scale "$program" \
    >"$work/program.log" 2>&1 &
pid=$!
session_pids=$pid

window=$(timeout 10 xdotool search --sync --onlyvisible --name "^$title\$" | head -n 1)
[ -n "$window" ] || fail "no window titled \"$title\" was mapped within 10 s"
[ "$(xdotool getwindowname "$window")" = "$title" ] || fail "the window title is not exact"

# The toolbar packs its buttons edge to edge from the left: 1095 twips each, 120 twips for a
# separator, in the window's 7980 twips of width. Scaling by the mapped width finds the buttons
# whatever the DPI and scale factor.
width=$(xdotool getwindowgeometry --shell "$window" | sed -n 's/^WIDTH=//p')
at_twips() { echo $(($1 * width / 7980)); }
row=$(at_twips 315)
apply=$(at_twips $((1095 + 120 + 547)))
exit_button=$(at_twips $((5 * 1095 + 11 * 120 + 547)))

xdotool windowfocus --sync "$window" || fail "could not focus the window"
xdotool type --delay 5 "$typed"
xdotool mousemove --window "$window" "$apply" "$row" click 1
xdotool key ctrl+a ctrl+c
result=""
for attempt in 1 2 3 4 5 6 7 8 9 10; do
    result=$(xclip -o -selection clipboard 2>/dev/null) && [ "$result" = "$expected" ] && break
    sleep 0.2
done
[ "$result" = "$expected" ] \
    || fail "after Apply Crownify the text is \"$result\", not \"$expected\""

xdotool mousemove --window "$window" "$exit_button" "$row" click 1
for attempt in $(seq 1 50); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$pid" 2>/dev/null && fail "the program was still running 5 s after Exit Program"
wait "$pid"
status=$?
session_pids=""
[ "$status" -eq 0 ] || fail "the program exited with status $status"
echo "PASS: mapped, typed, applied and exited on X11 at scale $scale"
