#!/usr/bin/env bash
# Installs what is missing, builds Skyvane and starts it on this machine's display, inside a
# network namespace that has only loopback (no real gimbal can be reached from there).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh build
if [ -z "${DISPLAY:-}" ]; then
    echo "run: no DISPLAY; start an X server (for example: Xvfb :99 &; export DISPLAY=:99)" >&2
    exit 1
fi
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d /tmp/skyvane-xdg.XXXXXX)}
chmod 700 "$XDG_RUNTIME_DIR"
exec bash scripts/netns.sh build/bin/skyvane
