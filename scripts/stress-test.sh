#!/usr/bin/env bash
# Runs the whole suite, normal and sanitizer builds, N times (default 3) while the processor is kept
# busy by a background load that this script starts and stops itself, and prints which tests failed
# in which run. A test that fails only here depends on how fast the machine is.
#
#   bash scripts/stress-test.sh [RUNS]
#   SKYVANE_STRESS_LOAD=3   busy loops running beside the suite (default: one more than the cores)
set -uo pipefail
cd "$(dirname "$0")/.."
source scripts/suite.sh

runs=${1:-3}
loaders=${SKYVANE_STRESS_LOAD:-$(($(nproc) + 1))}
logs=$suite_root/build/stress-logs

bash scripts/setup.sh || exit 2
bash scripts/build.sh build || exit 2
suite_build_asan || exit 2
suite_headless_env
mkdir -p "$logs"

load_pids=()
stop_load() {
    [ ${#load_pids[@]} -gt 0 ] && kill "${load_pids[@]}" 2>/dev/null
    wait "${load_pids[@]}" 2>/dev/null
    load_pids=()
}
trap 'stop_load; rm -rf "$XDG_RUNTIME_DIR"' EXIT
for _ in $(seq "$loaders"); do
    sh -c 'while :; do :; done' &
    load_pids+=($!)
done
echo "stress: $loaders busy loops started on $(nproc) cores; logs in $logs"

summary=()
failures=0
for run in $(seq "$runs"); do
    for suite in build build-asan; do
        log=$logs/run$run-$suite.log
        start=$(date +%s)
        suite_run "$suite" >"$log" 2>&1
        code=$?
        seconds=$(($(date +%s) - start))
        counts=$(grep -E '^[0-9]+% tests passed' "$log" | tail -1)
        failed=$(sed -n '/The following tests FAILED:/,$p' "$log" | grep -E '^\s+[0-9]+ - ' | sed -E 's/^\s+[0-9]+ - //' | tr '\n' ';')
        if [ $code -ne 0 ]; then
            failures=$((failures + 1))
            line="run $run $suite: FAILED in ${seconds}s: ${failed:-exit $code} (${counts:-no summary})"
        else
            line="run $run $suite: green in ${seconds}s (${counts})"
        fi
        echo "stress: $line"
        summary+=("$line")
    done
done
stop_load

echo "== Stress summary ($runs runs, $loaders busy loops, load average now: $(cut -d' ' -f1-3 /proc/loadavg)) =="
printf '%s\n' "${summary[@]}"
[ $failures -eq 0 ]
