#!/usr/bin/env bash
# Installs what is missing, builds Skyvane and starts it on this machine's display together with
# the simulated gimbal (skyvane-sim), both inside one network namespace that has only loopback:
# no real gimbal can be reached from there.
#
#   scripts/run.sh [PRODUCT] [-- SIMULATOR OPTIONS...]
#
# PRODUCT is one of WrenT-R2 (default), Wren-R2, Tern-LITE-A, Tern-LITE-B, Tern, Dove. The
# application directory build/bin gets a skyvane.cfg that selects the product and offers the
# simulator's stream rtsp://127.0.0.1:8554/live0 in the video panel and its address in the link panel
# (other keys are kept): turn the UDP switch on. The simulator stops when the program exits; its
# frame log is build/bin/logs/skyvane-sim.log.
set -euo pipefail
cd "$(dirname "$0")/.."
bin=${SKYVANE_APP_DIR:-build/bin}  # the application directory (tests point it elsewhere)

if [ "${1:-}" = "--in-namespace" ]; then
    shift
    product=$1
    shift
    ready=$(mktemp /tmp/skyvane-sim-ready.XXXXXX)
    "$bin/skyvane-sim" --product "$product" --serial-link "$bin/ttySKYVANE" \
        --log "$bin/logs/skyvane-sim.log" "$@" >"$ready" </dev/null &
    sim=$!
    trap 'kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true; rm -f "$ready"' EXIT
    # Wait for the simulator's ready lines (the RTSP line comes last when the stream is on).
    for _ in $(seq 100); do
        if ! kill -0 "$sim" 2>/dev/null; then
            echo "run: the simulator did not start" >&2
            exit 1
        fi
        grep -q '^RTSP ready' "$ready" && break
        case " $* " in *" --rtsp-port 0 "*) grep -q '^SERIAL ready' "$ready" && break ;; esac
        sleep 0.1
    done
    sed 's/^/skyvane-sim: /' "$ready"
    echo "run: turn the UDP switch on in the link panel (127.0.0.1:1030 is filled in)"
    status=0
    "$bin/skyvane" || status=$?
    exit "$status"
fi

product=${1:-WrenT-R2}
[ $# -gt 0 ] && shift
[ "${1:-}" = "--" ] && shift
bash scripts/setup.sh
bash scripts/build.sh build
if [ -z "${DISPLAY:-}" ]; then
    echo "run: no DISPLAY; start an X server (for example: Xvfb :99 &; export DISPLAY=:99)" >&2
    exit 1
fi
mkdir -p "$bin/logs"
"$bin/skyvane-sim" --product "$product" --prepare-app-config "$bin/skyvane.cfg"
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d /tmp/skyvane-xdg.XXXXXX)}
chmod 700 "$XDG_RUNTIME_DIR"
exec bash scripts/netns.sh bash scripts/run.sh --in-namespace "$product" "$@"
