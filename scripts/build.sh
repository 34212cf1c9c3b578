#!/usr/bin/env bash
# Configures and builds Skyvane into build/ (or the directory given as $1, with extra CMake options after it).
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build}
shift || true
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$build_dir" -- -j"$(nproc)"
