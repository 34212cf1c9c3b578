#!/usr/bin/env bash
# Non-blank lines of the project's own code and of its tests, per folder, and the tests' share
# of the two together. Counts C++, QML, CMake and shell files tracked by git.
set -euo pipefail
cd "$(dirname "$0")/.."

count() {
    git ls-files -- "$@" |
        grep -E '\.(cpp|h|qml|cmake|sh)$|CMakeLists\.txt$|(^|/)\.ci/run$' |
        xargs -r cat | grep -cv '^[[:space:]]*$' || true
}

code_total=0
for folder in src qml tools scripts cmake .ci CMakeLists.txt; do
    lines=$(count "$folder")
    code_total=$((code_total + lines))
    printf '%-16s %7d\n' "$folder" "$lines"
done
tests=0
for folder in tests/*/; do
    lines=$(count "$folder")
    tests=$((tests + lines))
    printf '%-16s %7d\n' "${folder%/}" "$lines"
done
tests=$((tests + $(count tests/CMakeLists.txt)))
all=$((code_total + tests))
printf '%-16s %7d\n%-16s %7d\n%-16s %7d\n' code "$code_total" tests "$tests" all "$all"
awk -v t="$tests" -v a="$all" -v c="$code_total" 'BEGIN {
    printf "tests are %.1f %% of all lines (limit 33.3 %%) and %.0f %% as many as the code\n", 100 * t / a, 100 * t / c
}'
