#!/bin/sh
# Builds the RTF reader's fuzz target with clang under <build-dir>/fuzz and runs it for the
# given number of seconds, starting from the inputs it found before and from the seed folders.
# Usage: run-fuzzer.sh <build-dir> <seconds> [seed-folder...]
# Exits with 77, which CTest counts as skipped, when clang or its libFuzzer is missing.
set -eu

source_dir=$(cd "$(dirname "$0")" && pwd)
build_dir=$1/fuzz
seconds=$2
shift 2

compiler=$(command -v clang++-14 || command -v clang++ || true)
if [ -z "$compiler" ]; then
    echo "clang++ is not installed (Debian packages clang, libclang-rt-14-dev): fuzzing skipped"
    exit 77
fi
probe=$(mktemp -d)
trap 'rm -rf "$probe"' EXIT
printf 'extern "C" int LLVMFuzzerTestOneInput(const char *, unsigned long) { return 0; }\n' \
    >"$probe/probe.cpp"
if ! "$compiler" -fsanitize=fuzzer,address,undefined "$probe/probe.cpp" -o "$probe/probe" \
    2>/dev/null; then
    echo "$compiler cannot link libFuzzer (Debian package libclang-rt-14-dev): fuzzing skipped"
    exit 77
fi

cmake -S "$source_dir" -B "$build_dir" -DCMAKE_CXX_COMPILER="$compiler" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build_dir" --parallel 2

found="$build_dir/found"
mkdir -p "$found"
# Seed folders that do not exist are left out.
count=$#
for folder in "$@"; do
    if [ -d "$folder" ]; then
        set -- "$@" "$folder"
    fi
done
shift "$count"
echo "Fuzzing the RTF reader for $seconds s; new inputs go to $found"
export LSAN_OPTIONS="suppressions=$source_dir/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
# libFuzzer reports a failure with exit code 77 unless told otherwise, and CTest counts 77 as a
# skip; a failing input is kept in the build folder.
exec "$build_dir/fuzz_rtfreader" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -error_exitcode=1 -timeout_exitcode=1 -artifact_prefix="$build_dir/" \
    -max_len=65536 -dict="$source_dir/rtf.dict" -print_final_stats=1 "$found" "$@"
