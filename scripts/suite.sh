# Shared by test.sh and stress-test.sh: the headless environment and the two ways the suite runs.
# Source it from the repository root.

suite_root=$(pwd)

# Headless Qt with a private runtime directory, removed when the calling script exits.
suite_headless_env() {
    export QT_QPA_PLATFORM=offscreen
    export QT_QUICK_BACKEND=software
    XDG_RUNTIME_DIR=$(mktemp -d /tmp/skyvane-xdg.XXXXXX)
    chmod 700 "$XDG_RUNTIME_DIR"
    export XDG_RUNTIME_DIR
    trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
}

suite_build_asan() {
    bash "$suite_root/scripts/build.sh" build-asan -DSKYVANE_SANITIZE=ON -DSKYVANE_BENCHMARKS=OFF -DCMAKE_BUILD_TYPE=Debug
}

# Runs the suite of one build directory inside the loopback-only namespace; extra arguments go to ctest.
# The clean-root package test (label "package") runs on its own, after its packages are fetched.
suite_run() {
    local dir=$1
    shift
    if [ "$dir" = build-asan ]; then
        ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:fast_unwind_on_malloc=0 \
            UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
            LSAN_OPTIONS=suppressions=$suite_root/cmake/lsan.supp \
            bash "$suite_root/scripts/netns.sh" ctest --test-dir "$dir" --output-on-failure --timeout 300 -j2 -LE package "$@"
    else
        bash "$suite_root/scripts/netns.sh" ctest --test-dir "$dir" --output-on-failure --timeout 300 -j2 -LE package "$@"
    fi
}

# The Debian package installed with apt into a clean Debian 12 root. Making the root and fetching the
# packages apt wants for it needs the Debian mirror, like the setup step; the test itself (apt and
# the program) then runs inside the loopback-only namespace. Needs root; about 6 minutes the first
# time, 2 when the root is kept in build/package-test/.
suite_package_test() {
    if [ "$(id -u)" -ne 0 ] || ! command -v debootstrap >/dev/null; then
        echo "package test skipped: needs root and debootstrap"
        return 0
    fi
    bash "$suite_root/tests/package/clean_root_install.sh" "$suite_root/build" --fetch &&
        bash "$suite_root/scripts/netns.sh" ctest --test-dir "$suite_root/build" --output-on-failure -L package
}
