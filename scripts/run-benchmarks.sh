#!/bin/sh
# Runs every benchmark and prints each measurement as a ratio against its baseline from the
# same run, so figures from shared, noisy machines stay comparable.
set -eu
build_dir=${1:-build}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

for bench in "$build_dir"/bench/bench_*; do
    [ -x "$bench" ] || continue
    name=$(basename "$bench")
    echo "== $name" >&2
    "$bench" --benchmark_repetitions="${REPETITIONS:-3}" --benchmark_report_aggregates_only=true \
        --benchmark_format=json --benchmark_out="$out/$name.json" \
        --benchmark_out_format=json >/dev/null
done
python3 "$(dirname "$0")/bench-report.py" "$out"/*.json
