#!/usr/bin/env bash
# Takes the interface's screenshots into docs/screenshots/: the product page and the runtime page of
# every product (connected over UDP to the simulator, video playing) in Chinese and in English, and
# every tab of one product. Everything runs inside one loopback-only network namespace with its own
# virtual X server; the program runs from a scratch application directory, so build/bin is untouched.
#
#   scripts/screenshots.sh [--all]      --all: every tab of every product
#
# Needs Xvfb, xdotool and ImageMagick's import. Builds first when the program is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out=${SKYVANE_SCREENSHOT_DIR:-$root/docs/screenshots}
display=${SKYVANE_SCREENSHOT_DISPLAY:-:95}
all=0
[ "${1:-}" = "--all" ] && all=1

if [ "${SKYVANE_IN_NAMESPACE:-}" != 1 ]; then
    [ -x build/bin/skyvane ] || bash scripts/build.sh build
    mkdir -p "$out"
    export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d /tmp/skyvane-xdg.XXXXXX)}
    chmod 700 "$XDG_RUNTIME_DIR"
    SKYVANE_IN_NAMESPACE=1 exec bash scripts/netns.sh bash "$0" "$@"
fi

app=$(mktemp -d /tmp/skyvane-shots.XXXXXX)
cp build/bin/skyvane build/bin/skyvane-sim "$app/"
mkdir -p "$app/icon" "$app/logs"
cp -r build/bin/icon/images "$app/icon/"
export DISPLAY=$display
Xvfb "$display" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
sim=""
program=""
cleanup() {
    [ -n "$program" ] && kill "$program" 2>/dev/null && wait "$program" 2>/dev/null
    [ -n "$sim" ] && kill "$sim" 2>/dev/null && wait "$sim" 2>/dev/null
    kill "$xvfb" 2>/dev/null || true
    rm -rf "$app"
}
trap cleanup EXIT
sleep 1

products=(WrenT-R2 Wren-R2 Tern-LITE-A Tern-LITE-B Tern Dove)

# Window 1700 x 1000 at the screen's top left; positions of the controls the script clicks.
home=(24 21)
serial_tab=(180 77)
udp_tab=(505 77)
udp_switch=(653 150)
tabs4=(98 262 427 591)
tabs5=(88 232 376 520 634)
product_button() {  # centre of product button $1 (0..5) on the product page
    local col=$(($1 % 2)) row=$(($1 / 2))
    echo $((449 + col * 196)) $((469 + row * 70))
}

config() {  # language [product]
    {
        printf '[general]\nlanguage=%s\n' "$1"
        [ -n "${2:-}" ] && printf 'currentProduct=%s\n' "$2"
        printf '\n[Device]\nAddress=127.0.0.1\nPort=1030\n\n[Video]\nBackend=ffmpeg\n\n[streamHistory]\n'
        local q
        for q in "${products[@]}"; do printf "%s=rtsp://127.0.0.1:8554/live0\n" "$q"; done
    } >"$app/skyvane.cfg"
}

start() {  # product for the simulator
    "$app/skyvane-sim" --product "$1" -q >"$app/logs/sim.out" 2>&1 &
    sim=$!
    for _ in $(seq 100); do grep -q '^RTSP ready' "$app/logs/sim.out" && break; sleep 0.1; done
    "$app/skyvane" >"$app/logs/program.out" 2>&1 &
    program=$!
    sleep 4
}

stop() {
    kill "$program" 2>/dev/null || true
    wait "$program" 2>/dev/null || true
    kill "$sim" 2>/dev/null || true
    wait "$sim" 2>/dev/null || true
    program=""
    sim=""
}

click() { xdotool mousemove "$1" "$2" click 1; sleep "${3:-0.6}"; }
shot() {
    xdotool mousemove 1900 1060
    sleep 0.3
    import -window root -crop 1700x1000+0+0 +repage "$out/$1.png"
    echo "screenshots: $1.png"
}

for lang in zh en; do
    config "$lang"
    start Tern-LITE-A
    shot "$lang-product-page"
    read -r x y < <(product_button 2)
    xdotool mousemove "$x" "$y"
    sleep 1
    import -window root -crop 1700x1000+0+0 +repage "$out/$lang-product-page-hover.png"
    echo "screenshots: $lang-product-page-hover.png"
    stop

    for p in "${products[@]}"; do
        config "$lang" "$p"
        start "$p"
        click "${udp_switch[@]}" 2
        case $p in Tern | Tern-LITE-B | Dove) tabs=("${tabs5[@]}") ;; *) tabs=("${tabs4[@]}") ;; esac
        shot "$lang-$p-gimbal"
        if [ "$all" = 1 ] || [ "$p" = Tern ]; then
            names=(gimbal camera channel ip tracking)
            for i in $(seq 1 $((${#tabs[@]} - 1))); do
                click "${tabs[$i]}" 255
                shot "$lang-$p-${names[$i]}"
            done
            click "${serial_tab[@]}"
            shot "$lang-$p-serial"
            click "${udp_tab[@]}"
        fi
        stop
    done
done
