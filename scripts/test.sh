#!/usr/bin/env bash
# Installs what is missing, builds Skyvane and runs the whole test suite headless, inside a
# network namespace that has only loopback. In CI (CI=true) or with SKYVANE_SANITIZE=1 the suite
# then runs once more in an AddressSanitizer + UndefinedBehaviorSanitizer build; in CI or with
# SKYVANE_PACKAGE_TEST=1 the Debian package is also installed into a clean Debian 12 root.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/suite.sh

bash scripts/setup.sh
bash scripts/build.sh build
suite_headless_env

status=0
echo "== Test suite (build/) =="
suite_run build || status=1

if [ "${CI:-}" = "true" ] || [ "${SKYVANE_PACKAGE_TEST:-0}" = "1" ]; then
    echo "== Debian package in a clean Debian 12 root =="
    suite_package_test || status=1
fi

if [ -f scripts/fuzz.sh ] && command -v clang++ >/dev/null 2>&1; then
    echo "== Short fuzz run =="
    bash scripts/fuzz.sh || status=1
fi

if [ "${CI:-}" = "true" ] || [ "${SKYVANE_SANITIZE:-0}" = "1" ]; then
    echo "== Test suite under AddressSanitizer + UndefinedBehaviorSanitizer (build-asan/) =="
    suite_build_asan
    suite_run build-asan || status=1
fi
exit $status
