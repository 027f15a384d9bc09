#!/usr/bin/env bash
# Installs what is needed, builds with the address and undefined-behaviour
# sanitizers, and runs the whole test suite with CTest on the offscreen platform.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${VELTRANE_BUILD_DIR:-$root/build-sanitize}"

bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" "$build" -DCMAKE_BUILD_TYPE=Debug -DVELTRANE_SANITIZE=ON

export QT_QPA_PLATFORM=offscreen
cd "$build"
exec ctest --output-on-failure -j 1
