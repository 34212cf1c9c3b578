#!/usr/bin/env bash
# Runs a command in a fresh network namespace that has nothing but loopback, so that nothing it
# starts can reach a real device or any other host.
set -euo pipefail
if [ "$(id -u)" -eq 0 ]; then
    exec unshare --net -- sh -c 'ip link set lo up && exec "$@"' netns "$@"
else
    exec unshare --map-root-user --net -- sh -c 'ip link set lo up && exec "$@"' netns "$@"
fi
