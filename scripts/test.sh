#!/usr/bin/env bash
# Installs what is missing, builds Skyvane and runs the whole test suite headless, inside a
# network namespace that has only loopback. In CI (CI=true) or with SKYVANE_SANITIZE=1 the suite
# then runs once more in an AddressSanitizer + UndefinedBehaviorSanitizer build.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/setup.sh
bash scripts/build.sh build

export QT_QPA_PLATFORM=offscreen
export QT_QUICK_BACKEND=software
XDG_RUNTIME_DIR=$(mktemp -d /tmp/skyvane-xdg.XXXXXX)
chmod 700 "$XDG_RUNTIME_DIR"
export XDG_RUNTIME_DIR
trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT

run_suite() {
    local dir=$1
    bash "$root/scripts/netns.sh" ctest --test-dir "$dir" --output-on-failure --timeout 300 -j2
}

status=0
echo "== Test suite (build/) =="
run_suite build || status=1

if [ -f scripts/fuzz.sh ] && command -v clang++ >/dev/null 2>&1; then
    echo "== Short fuzz run =="
    bash scripts/fuzz.sh || status=1
fi

if [ "${CI:-}" = "true" ] || [ "${SKYVANE_SANITIZE:-0}" = "1" ]; then
    echo "== Test suite under AddressSanitizer + UndefinedBehaviorSanitizer (build-asan/) =="
    bash scripts/build.sh build-asan -DSKYVANE_SANITIZE=ON -DSKYVANE_BENCHMARKS=OFF -DCMAKE_BUILD_TYPE=Debug
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:fast_unwind_on_malloc=0
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    export LSAN_OPTIONS=suppressions=$root/cmake/lsan.supp
    run_suite build-asan || status=1
fi
exit $status
