#!/usr/bin/env bash
# Installs the build into a scratch root (cmake --install with DESTDIR) and checks the layout the
# package gets: the private folder with the executable, the player library and the product
# pictures, the /usr/bin link, the menu entry, the icons and the AppStream metadata; the menu entry
# and the metadata must pass desktop-file-validate and appstreamcli validate when those are installed.
#
#   installed_layout.sh BUILD_DIR
set -euo pipefail
build=$1
dest=$(mktemp -d /tmp/skyvane-install.XXXXXX)
trap 'rm -rf "$dest"' EXIT
failures=0
fail() {
    echo "installed-layout: $*" >&2
    failures=$((failures + 1))
}

DESTDIR=$dest cmake --install "$build" --prefix /usr >/dev/null
usr=$dest/usr

for file in lib/skyvane/skyvane lib/skyvane/libEasyPlayer.so share/applications/org.skyvane.Skyvane.desktop \
    share/metainfo/org.skyvane.Skyvane.metainfo.xml; do
    [ -f "$usr/$file" ] || fail "missing /usr/$file"
done
[ -x "$usr/lib/skyvane/skyvane" ] || fail "/usr/lib/skyvane/skyvane is not executable"
[ "$(readlink "$usr/bin/skyvane")" = "../lib/skyvane/skyvane" ] || fail "/usr/bin/skyvane is not a link to ../lib/skyvane/skyvane"
pictures=$(find "$usr/lib/skyvane/icon/images" -name '*.png' | wc -l)
[ "$pictures" -eq 7 ] || fail "expected 7 product pictures, found $pictures"
for size in 16 22 24 32 48 64 128 256 512; do
    icon=$usr/share/icons/hicolor/${size}x${size}/apps/skyvane.png
    if [ ! -f "$icon" ]; then
        fail "missing icon of $size px"
    elif [ "$(file -b "$icon" | grep -o "$size x $size")" != "$size x $size" ]; then
        fail "icon $icon is not $size x $size: $(file -b "$icon")"
    fi
done
if readelf -d "$usr/lib/skyvane/skyvane" | grep -qE '\((RPATH|RUNPATH)\)'; then
    fail "the installed executable still has a run path: $(readelf -d "$usr/lib/skyvane/skyvane" | grep PATH)"
fi

if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$usr/share/applications/org.skyvane.Skyvane.desktop" || fail "desktop-file-validate failed"
    echo "installed-layout: desktop-file-validate passed"
else
    echo "installed-layout: desktop-file-validate not installed, not run"
fi
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$usr/share/metainfo/org.skyvane.Skyvane.metainfo.xml" ||
        fail "appstreamcli validate failed"
else
    echo "installed-layout: appstreamcli not installed, not run"
fi
[ "$failures" -eq 0 ] && echo "installed-layout: passed"
exit $((failures > 0))
