#!/bin/sh
# Runs a validator and fails when it reports an error in any way: a non-zero exit, a line
# containing "error" (some validators exit 0 after one) or a line tagged "E:".
# Usage: check-clean.sh TOOL [ARGUMENT...]
set -u
if ! command -v "$1" >/dev/null 2>&1; then
    echo "SKIP: $1 is not installed ('make test' installs it)"
    exit 77
fi
output=$("$@" 2>&1)
status=$?
[ -n "$output" ] && printf '%s\n' "$output"
if [ "$status" -ne 0 ]; then
    echo "FAIL: $1 exited with status $status"
    exit 1
fi
if printf '%s\n' "$output" | grep -q -i -E 'error|^E: '; then
    echo "FAIL: $1 reported an error"
    exit 1
fi
echo "PASS: $*"
