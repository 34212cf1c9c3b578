#!/usr/bin/env bash
# Takes the interface's screenshots into docs/screenshots/<W>x<H>/ for windows of 1280 x 800 and
# 1920 x 1080: the product page, the gimbal and camera tabs of every product (connected over UDP to the
# simulator, video playing) and every tab of Tern with a tracking box and the thermometry overlay on
# its picture, the header of a device gone quiet, the stream health overlay during a local recording
# and the F1 help overlay, in Chinese and in English, in the light and the dark theme (file names
# <language>-<theme>-...). Everything runs inside
# one loopback-only network namespace with its own virtual X server; the program runs from a scratch
# application directory, so build/bin is untouched.
#
#   scripts/screenshots.sh [--all]      --all: every tab of every product
#   SKYVANE_SCREENSHOT_SIZES="1280x800"  only some of the window sizes
#   SKYVANE_SCREENSHOT_PRODUCTS="Tern"   only some of the products (the product page is always taken)
#   SKYVANE_SCREENSHOT_THEMES="dark"     only some of the themes (light, dark)
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
read -r -a shot_products <<<"${SKYVANE_SCREENSHOT_PRODUCTS:-${products[*]}}"

# Positions of the controls the script clicks, for the window at the screen's top left at that size.
layout() {
    case $1 in
    1280x800)
        serial_tab=(142 77) udp_tab=(393 77) udp_switch=(499 151)
        tabs4=(79 205 331 457) tabs5=(66 167 268 369 470) tab_y=235 first_product=(240 369)
        box_switch=(135 270) ir_radio_en=(176 387) ir_radio_zh=(158 397)
        thermometry_switch_en=(159 594) thermometry_switch_zh=(145 606)
        track_box=(850 400 1000 500) region_box=(700 330 1100 560)
        local_rec=(968 121) stats_button=(1151 121)
        ;;
    1920x1080)
        serial_tab=(202 77) udp_tab=(575 77) udp_switch=(741 151)
        tabs4=(109 296 482 669) tabs5=(91 240 389 538 687) tab_y=235 first_product=(560 509)
        box_switch=(135 270) ir_radio_en=(176 387) ir_radio_zh=(158 397)
        thermometry_switch_en=(159 594) thermometry_switch_zh=(145 606)
        track_box=(1150 500 1390 680) region_box=(1000 420 1600 780)
        local_rec=(1608 121) stats_button=(1791 121)
        ;;
    *)
        echo "screenshots: no layout for window size $1" >&2
        exit 2
        ;;
    esac
}
product_button() {  # centre of product button $1 (0..5) on the product page
    local col=$(($1 % 2)) row=$(($1 / 2))
    echo $((first_product[0] + col * 196)) $((first_product[1] + row * 70))
}

config() {  # language [product]; the theme is $theme
    {
        printf '[general]\nlanguage=%s\n' "$1"
        [ -n "${2:-}" ] && printf 'currentProduct=%s\n' "$2"
        printf '\n[Display]\nTheme=%s\n' "$theme"
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
    local window
    window=$(xdotool search --sync --pid "$program" --onlyvisible | head -1)
    xdotool windowmove "$window" 0 0 windowsize "$window" "$width" "$height"
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
drag() {  # x1 y1 x2 y2: a box drawn on the picture
    xdotool mousemove "$1" "$2" mousedown 1
    local i
    for i in 1 2 3 4 5 6; do
        xdotool mousemove $(($1 + ($3 - $1) * i / 6)) $(($2 + ($4 - $2) * i / 6))
        sleep 0.1
    done
    xdotool mouseup 1
    sleep 1
}
confirm_box() { click $(($3 - 40)) $(($4 + 14)) 2; }  # the ✓ below the box's bottom right corner
shot() {
    xdotool mousemove 1900 1060
    sleep 0.3
    import -window root -crop "${width}x${height}+0+0" +repage "$dir/$1.png"
    echo "screenshots: $size/$1.png"
}

# The stream health overlay over Tern's picture while a local recording runs (both switched off again).
video_tools() {
    click "${stats_button[@]}"
    click "${local_rec[@]}" 4
    shot "$look-$p-stream-stats-recording"
    click "${local_rec[@]}"
    click "${stats_button[@]}"
}

# Tern's picture with a box being drawn and then tracked, and with the thermometry overlay over a
# measured region (box tracking is off while thermometry is on).
video_overlays() {
    click "${tabs[4]}" "$tab_y"
    click "${box_switch[@]}" 1.5
    drag "${track_box[@]}"
    shot "$look-$p-tracking-box-drawn"
    confirm_box "${track_box[@]}"
    shot "$look-$p-tracking-box"
    click "${box_switch[@]}" 1.5
    click "${tabs[1]}" "$tab_y"
    local radio="ir_radio_${lang}[@]"
    click "${!radio}" 3
    local switch="thermometry_switch_${lang}[@]"
    click "${!switch}" 2
    drag "${region_box[@]}"
    confirm_box "${region_box[@]}"
    shot "$look-$p-thermometry"
}

# The F1 help overlay over the runtime page (keyboard shortcuts and gamepad controls).
help_overlay() {
    xdotool key F1
    sleep 1
    shot "$look-$p-help"
    xdotool key F1
    sleep 0.5
}

# The header's pill while the device has gone quiet: the simulator is frozen past the silence time-out.
device_silent() {
    kill -STOP "$sim"
    sleep 5
    shot "$look-$p-device-silent"
    kill -CONT "$sim"
}

for size in ${SKYVANE_SCREENSHOT_SIZES:-1280x800 1920x1080}; do
width=${size%x*}
height=${size#*x}
layout "$size"
dir=$out/$size
mkdir -p "$dir"
for theme in ${SKYVANE_SCREENSHOT_THEMES:-light dark}; do
for lang in zh en; do
    # Every picture's name starts with the language and the theme ("en-dark-Tern-gimbal").
    look="$lang-$theme"
    config "$lang"
    start Tern-LITE-A
    shot "$look-product-page"
    read -r x y < <(product_button 2)
    xdotool mousemove "$x" "$y"
    sleep 1
    import -window root -crop "${width}x${height}+0+0" +repage "$dir/$look-product-page-hover.png"
    echo "screenshots: $size/$look-product-page-hover.png"
    stop

    for p in "${shot_products[@]}"; do
        config "$lang" "$p"
        start "$p"
        click "${udp_switch[@]}" 2
        case $p in Tern | Tern-LITE-B | Dove) tabs=("${tabs5[@]}") ;; *) tabs=("${tabs4[@]}") ;; esac
        shot "$look-$p-gimbal"
        [ "$p" = Tern ] && help_overlay
        if [ "$all" = 0 ] && [ "$p" != Tern ]; then
            click "${tabs[1]}" "$tab_y"
            shot "$look-$p-camera"
        else
            names=(gimbal camera channel ip tracking)
            for i in $(seq 1 $((${#tabs[@]} - 1))); do
                click "${tabs[$i]}" "$tab_y"
                shot "$look-$p-${names[$i]}"
            done
            click "${serial_tab[@]}"
            shot "$look-$p-serial"
            click "${udp_tab[@]}"
            if [ "$p" = Tern ]; then
                video_tools
                video_overlays
                device_silent
            fi
        fi
        stop
    done
done
done
done
