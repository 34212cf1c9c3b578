#!/usr/bin/env bash
# Puts each known fault (a patch in this folder) into the code in turn, builds, runs the tests
# named in the patch's "Tests:" line and prints whether they caught it, then takes the fault out.
#   bash tests/mutants/run.sh [build-dir] [patch-name-pattern]
# The build directory must already be configured (scripts/build.sh). The tree must have no
# uncommitted changes in the files the patches touch.
set -uo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
pattern=${2:-}
source scripts/suite.sh
suite_headless_env
logs="$build/mutants"
mkdir -p "$logs"

applied=""
restore() { [ -n "$applied" ] && git apply -R "$applied" && applied=""; }
trap 'restore; rm -rf "$XDG_RUNTIME_DIR"' EXIT INT TERM

printf '%-34s %-8s %s\n' fault result "failing tests"
caught=0
total=0
for patch in tests/mutants/*.patch; do
    name=$(basename "$patch" .patch)
    [[ -n "$pattern" && "$name" != *$pattern* ]] && continue
    total=$((total + 1))
    tests=$(sed -n 's/^Tests: //p' "$patch")
    if ! git apply "$patch" 2>"$logs/$name.log"; then
        printf '%-34s %-8s %s\n' "$name" "stale" "(the patch no longer applies)"
        continue
    fi
    applied=$patch
    # Only the tests that should catch the fault are rebuilt: a mutant then costs one compile
    # and a few links instead of the whole tree.
    if ! nice cmake --build "$build" --target ${tests//|/ } >>"$logs/$name.log" 2>&1; then
        restore
        printf '%-34s %-8s %s\n' "$name" "broken" "(does not build: $logs/$name.log)"
        continue
    fi
    bash scripts/netns.sh ctest --test-dir "$build" -R "^($tests)\$" --timeout 300 -j2 >>"$logs/$name.log" 2>&1
    failed=$(sed -n 's/^[[:space:]]*[0-9]* - \(tst_[a-z_]*\) .*/\1/p' "$logs/$name.log" | sort -u | tr '\n' ' ')
    restore
    if [ -n "$failed" ]; then
        caught=$((caught + 1))
        printf '%-34s %-8s %s\n' "$name" caught "$failed"
    else
        printf '%-34s %-8s %s\n' "$name" MISSED "(ran: $tests)"
    fi
done
echo "caught $caught of $total"
# Leave the build matching the tree again.
nice cmake --build "$build" >/dev/null 2>&1 || echo "the final rebuild failed: run cmake --build $build" >&2
[ "$caught" -eq "$total" ]
