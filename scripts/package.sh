#!/usr/bin/env bash
# Builds Skyvane and its Debian package: build/skyvane_<version>_amd64.deb. The package's
# dependencies come from the binaries (dpkg-shlibdeps) and from the packages that ship the QML
# modules the interface imports; install it with: sudo apt install ./build/skyvane_<version>_amd64.deb
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh build
(cd build && cpack -G DEB >/dev/null)
deb=$(ls -t build/skyvane_*_amd64.deb | head -n 1)
echo "package: $deb ($(stat -c %s "$deb") bytes)"
dpkg-deb --field "$deb" Depends | sed 's/^/package: Depends: /'
