#!/usr/bin/env bash
# Installs what is needed, then:
#  1. builds the libFuzzer targets with clang and runs each for a bounded time
#     (VELTRANE_FUZZ_SECONDS, default 60; 0 skips);
#  2. builds the thread, tree-loading, record-layer and window tests (the window
#     works on workers) with the thread sanitizer and runs them;
#  3. builds the Debian packages and proves them on a clean Debian 12 in a chroot
#     (scripts/package-check.sh; VELTRANE_PACKAGE_CHECK=0 skips);
#  4. builds everything with the address and undefined-behaviour sanitizers and runs
#     the whole test suite with CTest on the offscreen platform.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${VELTRANE_BUILD_DIR:-$root/build-sanitize}"
tsan="${VELTRANE_TSAN_DIR:-$root/build-tsan}"
export QT_QPA_PLATFORM=offscreen

bash "$root/scripts/setup.sh"

fuzz_seconds="${VELTRANE_FUZZ_SECONDS:-60}"
if [ "$fuzz_seconds" != 0 ]; then
  bash "$root/scripts/fuzz.sh" "$fuzz_seconds"
fi

cmake -S "$root" -B "$tsan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELTRANE_TSAN=ON -DVELTRANE_BENCH=OFF
cmake --build "$tsan" -j "${VELTRANE_JOBS:-2}" --target test_toolkit test_tree test_forms test_records
(cd "$tsan" && ctest --output-on-failure -j 1 -R '^(toolkit|tree|forms|records)$')

if [ "${VELTRANE_PACKAGE_CHECK:-1}" != 0 ]; then
  bash "$root/scripts/package-check.sh"
fi

# The benchmarks are built (and run) by bench/run, in a Release tree.
bash "$root/scripts/build.sh" "$build" -DCMAKE_BUILD_TYPE=Debug -DVELTRANE_SANITIZE=ON -DVELTRANE_BENCH=OFF
cd "$build"
exec ctest --output-on-failure -j 1
