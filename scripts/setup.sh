#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Skyvane need.
# Quick and silent when everything is already present.
set -euo pipefail

packages=(
    build-essential cmake pkg-config ninja-build git
    qtbase5-dev qtbase5-dev-tools qtdeclarative5-dev qtquickcontrols2-5-dev
    libqt5serialport5-dev qtdeclarative5-dev-tools qml-module-qtquick2
    qml-module-qtquick-controls2 qml-module-qtquick-layouts qml-module-qtquick-window2
    qml-module-qtquick-templates2 qml-module-qttest qml-module-qtqml-models2
    libqt5svg5-dev
    libavformat-dev libavcodec-dev libavutil-dev libswscale-dev ffmpeg
    libsdl2-dev
    libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev libgstrtspserver-1.0-dev
    gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad
    gstreamer1.0-plugins-ugly gstreamer1.0-libav gstreamer1.0-tools
    libgtest-dev libbenchmark-dev
    clang libclang-rt-14-dev
    fonts-noto-cjk
    iproute2 util-linux
    desktop-file-utils appstream dpkg-dev file debootstrap
    xvfb xauth libgl1-mesa-dri imagemagick xdotool libx11-dev libxext-dev bc
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO=sudo
    $SUDO apt-get update -qq
    $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
