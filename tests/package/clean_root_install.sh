#!/usr/bin/env bash
# Installs the Debian package with apt into a clean Debian 12 root and starts the program there.
#
#   clean_root_install.sh BUILD_DIR --fetch    prepare: needs the Debian mirror
#   clean_root_install.sh BUILD_DIR            the test: offline, inside a loopback-only namespace;
#                                              skipped (77) until --fetch has made the root
#
# Builds the package (cpack) in BUILD_DIR. --fetch makes a minimal Debian 12 root with debootstrap
# once (kept in BUILD_DIR/package-test/debian12-minbase) and downloads into the cache beside it the
# package lists and every package apt wants for installing this package into that root; nothing is
# installed. The test then installs the package with apt into a throw-away overlay of the root, with
# no network at all: apt must resolve every dependency by itself from what the package declares.
# Then, as an unprivileged user, `skyvane --version` must print the version and an offscreen start
# must write its session log under the XDG state folder. Needs root, debootstrap and overlayfs.
# SKYVANE_DEBIAN_MIRROR names another mirror.
set -euo pipefail
build=$(cd "$1" && pwd)
fetch=0
[ "${2:-}" = "--fetch" ] && fetch=1
cache=$build/package-test
base=$cache/debian12-minbase
mirror=${SKYVANE_DEBIAN_MIRROR:-http://deb.debian.org/debian}
started=$(date +%s)

say() { echo "package-test: $* ($(($(date +%s) - started)) s)"; }

# The test without what it needs is skipped (exit 77, ctest's SKIP_RETURN_CODE) with the way to
# get it; the fetch itself fails.
missing() {
    echo "package-test: $1" >&2
    [ $fetch -eq 1 ] && exit 1
    echo "package-test: skipped; to run it, as root in the source folder (needs debootstrap and the" \
        "Debian mirror): bash tests/package/clean_root_install.sh $build --fetch; then" \
        "bash scripts/netns.sh ctest --test-dir $build -L package" >&2
    exit 77
}
[ "$(id -u)" -eq 0 ] || missing "needs root"
command -v debootstrap >/dev/null || missing "debootstrap is not installed"
[ $fetch -eq 1 ] || [ -f "$base/.complete" ] || missing "no Debian 12 root in $base yet"

(cd "$build" && cpack -G DEB >/dev/null)
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
deb=$build/skyvane_${version}_amd64.deb
[ -f "$deb" ] || { echo "package-test: $deb was not made" >&2; exit 1; }
say "package $(basename "$deb"), $(stat -c %s "$deb") bytes"

if [ $fetch -eq 1 ] && [ ! -f "$base/.complete" ]; then
    rm -rf "$base"
    mkdir -p "$cache"
    debootstrap --variant=minbase bookworm "$base" "$mirror" >"$cache/debootstrap.log" 2>&1 || {
        tail -n 30 "$cache/debootstrap.log" >&2
        exit 1
    }
    touch "$base/.complete"
    say "Debian 12 root made"
fi
[ -f "$base/.complete" ] || { echo "package-test: no Debian 12 root yet: run with --fetch first" >&2; exit 1; }

run=$(mktemp -d "$cache/run.XXXXXX")
mkdir -p "$run/upper" "$run/work" "$run/root" "$cache/apt-archives/partial" "$cache/apt-lists/partial"
trap 'rm -rf "$run"' EXIT
cp "$deb" "$run/skyvane.deb"

# Everything below runs in a mount namespace of its own: the overlay, /proc and /dev vanish with it.
# The fetch talks to the mirror; the test runs apt and the program in a namespace without a network.
network=(unshare -n --)
[ $fetch -eq 1 ] && network=()
"${network[@]}" unshare -m -- bash -euo pipefail -c '
    base=$1 run=$2 cache=$3 version=$4 fetch=$5
    root=$run/root
    mount -t overlay overlay -o "lowerdir=$base,upperdir=$run/upper,workdir=$run/work" "$root"
    mount -t proc proc "$root/proc"
    mount --bind /dev "$root/dev"
    mount --bind "$cache/apt-archives" "$root/var/cache/apt/archives"
    mount --bind "$cache/apt-lists" "$root/var/lib/apt/lists"
    cp "$run/skyvane.deb" "$root/tmp/skyvane.deb"
    export DEBIAN_FRONTEND=noninteractive LC_ALL=C.UTF-8
    [ "$fetch" = 1 ] || ip link set lo up 2>/dev/null || true
    if [ "$fetch" = 1 ]; then
        cp /etc/resolv.conf "$root/etc/resolv.conf"
        chroot "$root" apt-get update -qq
        chroot "$root" apt-get install -y -qq --no-install-recommends --download-only /tmp/skyvane.deb \
            >"$run/apt.log" 2>&1 || { tail -n 40 "$run/apt.log" >&2; exit 1; }
        # apt keeps a copy of the local package among the downloads; the test installs its own.
        rm -f "$cache/apt-archives"/skyvane_*.deb
        echo "package-test: fetched $(ls "$cache/apt-archives" | grep -c "\.deb$") packages"
        exit 0
    fi
    # No network here: what apt did not fetch beforehand cannot be had.
    chroot "$root" apt-get install -y -qq --no-install-recommends /tmp/skyvane.deb \
        >"$run/apt.log" 2>&1 || { tail -n 40 "$run/apt.log" >&2; exit 1; }
    echo "package-test: installed with apt ($(grep -c "^Setting up" "$run/apt.log") packages set up)"

    # The program as a user who cannot write /usr/lib/skyvane.
    mkdir -p "$root/tmp/user"
    chown 65534:65534 "$root/tmp/user"
    chmod 700 "$root/tmp/user"
    # A plain command (no function, no subshell): started in the background, $! is the program.
    as_user=(chroot "$root" setpriv --reuid=65534 --regid=65534 --clear-groups env -i HOME=/tmp/user PATH=/usr/bin:/bin QT_QPA_PLATFORM=offscreen QT_QUICK_BACKEND=software XDG_RUNTIME_DIR=/tmp/user)
    printed=$("${as_user[@]}" skyvane --version 2>/dev/null)
    [ "$printed" = "skyvane $version" ] || { echo "package-test: --version printed \"$printed\"" >&2; exit 1; }
    echo "package-test: skyvane --version: $printed"

    "${as_user[@]}" skyvane >"$run/program.out" 2>&1 &
    program=$!
    logs=$root/tmp/user/.local/state/skyvane/logs
    for _ in $(seq 600); do
        grep -qs "Backend from skyvane.cfg" "$logs"/skyvane_*.log && break
        kill -0 "$program" 2>/dev/null || break
        sleep 0.2
    done
    kill -TERM "$program" 2>/dev/null || true
    status=0
    wait "$program" || status=$?
    if ! grep -qs "Backend from skyvane.cfg" "$logs"/skyvane_*.log; then
        echo "package-test: no session log under the XDG state folder (exit status $status)" >&2
        tail -n 40 "$run/program.out" >&2
        exit 1
    fi
    grep -h "Data folders:\|Configuration file:\|Logs and protocol statistics:" "$logs"/skyvane_*.log |
        sed "s/^/package-test: log: /"
    # Status 0 means the interface loaded: a main QML file that fails to load ends the program with 255.
    [ "$status" -eq 0 ] || { echo "package-test: the program ended with status $status" >&2; exit 1; }
    if grep -q "qrc:/qml/" "$run/program.out"; then
        echo "package-test: QML errors or warnings (a QML module missing from the dependencies?):" >&2
        grep "qrc:/qml/" "$run/program.out" | head -n 20 >&2
        exit 1
    fi
' bash "$base" "$run" "$cache" "$version" "$fetch"
if [ $fetch -eq 1 ]; then say "fetched"; else say "passed"; fi
