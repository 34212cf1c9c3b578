#!/usr/bin/env bash
# Short libFuzzer run over the frame codec and the protocol trace's text builders.
# Builds only the fuzz target in build-fuzz/ with clang, runs it for SKYVANE_FUZZ_SECONDS (45 by
# default) and fails on any crash, sanitizer report or leak. Prints the number of executions.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
dir=$root/build-fuzz
seconds=${SKYVANE_FUZZ_SECONDS:-45}
target=skyvane-fuzz-protocol

if ! command -v clang++ >/dev/null 2>&1; then
    echo "fuzz: clang++ not found" >&2
    exit 1
fi

mkdir -p "$dir"
# tools/fuzz is a project of its own: only the protocol sources and Qt Core take part.
CC=clang CXX=clang++ cmake -S "$root/tools/fuzz" -B "$dir" -G Ninja -DSKYVANE_FUZZ=ON \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >"$dir/configure.log" 2>&1 || {
    cat "$dir/configure.log" >&2
    exit 1
}
ninja -C "$dir" -j2 "$target"

# Work on a copy of the seeds so the run never writes into the source tree.
corpus=$dir/fuzz-corpus
artifacts=$dir/fuzz-artifacts
mkdir -p "$corpus" "$artifacts"
cp "$root"/tools/fuzz/seeds/* "$corpus"/
log=$dir/fuzz.log

set +e
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$dir/bin/$target" "$corpus" -max_total_time="$seconds" -print_final_stats=1 -rss_limit_mb=2048 \
    -timeout=10 -artifact_prefix="$artifacts/" >"$log" 2>&1
status=$?
set -e

execs=$(sed -n 's/^stat::number_of_executed_units: *\([0-9]*\).*/\1/p' "$log" | tail -n 1)
echo "fuzz: ${execs:-0} executions in ${seconds} s (corpus $(ls "$corpus" | wc -l) inputs, log $log)"

if [ $status -ne 0 ] || grep -qE "ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error:|deadly signal" "$log"; then
    echo "fuzz: FAILED (exit status $status)" >&2
    grep -E -A 30 "ERROR:|runtime error:|deadly signal" "$log" | head -n 60 >&2 || true
    exit 1
fi
echo "fuzz: no crash, sanitizer report or leak"
