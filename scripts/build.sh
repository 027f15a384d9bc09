#!/usr/bin/env bash
# Configures and builds the tree: build.sh BUILD_DIR [cmake options...]
# VELTRANE_TARGETS (space-separated) limits the build to those targets.
# Two parallel jobs at most: the machines this runs on have two cores.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:?usage: build.sh BUILD_DIR [cmake options...]}"
shift
cmake -S "$root" -B "$build" -G Ninja "$@"
targets=()
for t in ${VELTRANE_TARGETS:-}; do
  targets+=(--target "$t")
done
cmake --build "$build" -j "${VELTRANE_JOBS:-2}" "${targets[@]}"
