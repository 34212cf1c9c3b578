#!/usr/bin/env bash
# Installs the Debian package with apt into a clean Debian 12 root and starts the program there.
#
#   clean_root_install.sh BUILD_DIR
#
# Builds the package (cpack) in BUILD_DIR, makes a minimal Debian 12 root with debootstrap once and
# keeps it in BUILD_DIR/package-test/debian12-minbase, and on every run installs the package into a
# throw-away overlay of that root: apt must find every dependency by itself. Then, as an unprivileged
# user, `skyvane --version` must print the version and an offscreen start must write its session log
# under the XDG state folder. apt talks to the Debian mirror; the program itself runs in a network
# namespace that has only loopback. Needs root, debootstrap and overlayfs. SKYVANE_DEBIAN_MIRROR
# names another mirror for debootstrap.
set -euo pipefail
build=$(cd "$1" && pwd)
cache=$build/package-test
base=$cache/debian12-minbase
mirror=${SKYVANE_DEBIAN_MIRROR:-http://deb.debian.org/debian}
started=$(date +%s)

say() { echo "package-test: $* ($(($(date +%s) - started)) s)"; }

[ "$(id -u)" -eq 0 ] || { echo "package-test: needs root" >&2; exit 1; }
command -v debootstrap >/dev/null || { echo "package-test: debootstrap is not installed" >&2; exit 1; }

(cd "$build" && cpack -G DEB >/dev/null)
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
deb=$build/skyvane_${version}_amd64.deb
[ -f "$deb" ] || { echo "package-test: $deb was not made" >&2; exit 1; }
say "package $(basename "$deb"), $(stat -c %s "$deb") bytes"

if [ ! -f "$base/.complete" ]; then
    rm -rf "$base"
    mkdir -p "$cache"
    debootstrap --variant=minbase bookworm "$base" "$mirror" >"$cache/debootstrap.log" 2>&1 || {
        tail -n 30 "$cache/debootstrap.log" >&2
        exit 1
    }
    touch "$base/.complete"
    say "Debian 12 root made"
else
    say "Debian 12 root reused"
fi

run=$(mktemp -d "$cache/run.XXXXXX")
mkdir -p "$run/upper" "$run/work" "$run/root" "$cache/apt-archives/partial"
trap 'rm -rf "$run"' EXIT
cp "$deb" "$run/skyvane.deb"

# Everything below runs in a mount namespace of its own: the overlay, /proc and /dev vanish with it.
unshare -m -- bash -euo pipefail -c '
    base=$1 run=$2 archives=$3 version=$4
    root=$run/root
    mount -t overlay overlay -o "lowerdir=$base,upperdir=$run/upper,workdir=$run/work" "$root"
    mount -t proc proc "$root/proc"
    mount --bind /dev "$root/dev"
    mount --bind "$archives" "$root/var/cache/apt/archives"
    cp /etc/resolv.conf "$root/etc/resolv.conf"
    cp "$run/skyvane.deb" "$root/tmp/skyvane.deb"
    export DEBIAN_FRONTEND=noninteractive LC_ALL=C.UTF-8
    chroot "$root" apt-get update -qq
    chroot "$root" apt-get install -y -qq --no-install-recommends /tmp/skyvane.deb >"$run/apt.log" 2>&1 || {
        tail -n 40 "$run/apt.log" >&2
        exit 1
    }
    echo "package-test: installed with apt ($(grep -c "^Setting up" "$run/apt.log") packages set up)"

    # The program as a user who cannot write /usr/lib/skyvane, cut off from every network.
    mkdir -p "$root/tmp/user"
    chown 65534:65534 "$root/tmp/user"
    chmod 700 "$root/tmp/user"
    # A plain command (no function, no subshell): started in the background, $! is the program.
    as_user=(unshare -n -- sh -c "ip link set lo up 2>/dev/null; exec chroot \"\$0\" setpriv --reuid=65534 --regid=65534 --clear-groups env -i HOME=/tmp/user PATH=/usr/bin:/bin QT_QPA_PLATFORM=offscreen QT_QUICK_BACKEND=software XDG_RUNTIME_DIR=/tmp/user \"\$@\"" "$root")
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
' bash "$base" "$run" "$cache/apt-archives" "$version"
say "passed"
