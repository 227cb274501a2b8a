# Shared by the real-display checks: a private directory and a private Xvfb on a display it
# chooses itself, so that checks running side by side never collide, both removed on exit with
# the processes listed in $session_pids; and the CTest conventions for skipping and failing.
# shellcheck shell=sh

skip()
{
    echo "SKIP: $*"
    exit 77
}

fail()
{
    echo "FAIL: $*"
    [ -n "${work:-}" ] && [ -s "$work/program.log" ] && sed 's/^/program: /' "$work/program.log"
    exit 1
}

# Makes the private directory $work.
begin_session()
{
    work=$(mktemp -d)
    chmod 700 "$work"
    session_pids=""
    xvfb_pid=""
    trap end_session EXIT
}

end_session()
{
    for pid in $session_pids $xvfb_pid; do
        kill "$pid" 2>/dev/null
    done
    rm -rf "$work"
}

# start_xvfb SCREEN: starts Xvfb and exports DISPLAY.
start_xvfb()
{
    Xvfb -displayfd 3 -screen 0 "$1" -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for attempt in $(seq 1 100); do
        [ -s "$work/display" ] && break
        kill -0 "$xvfb_pid" 2>/dev/null || return 1
        sleep 0.1
    done
    [ -s "$work/display" ] || return 1
    DISPLAY=":$(cat "$work/display")"
    export DISPLAY
}
