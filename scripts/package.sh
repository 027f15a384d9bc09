#!/usr/bin/env bash
# Builds the Debian packages: package.sh [OUT_DIR] (default build-pkg/).
#   bveltrane_VERSION_ARCH.deb      the module with its two libraries and the SQL scripts
#   veltrane-host_VERSION_ARCH.deb  the host, its desktop entry, metainfo, icon and manual page
# A release build of the module and the host alone (no tests, no benchmarks),
# hardened with Debian's build flags (dpkg-buildflags, hardening=+all), installed
# under /usr. The build tree is OUT_DIR/build; the packages land in OUT_DIR.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="${1:-$root/build-pkg}"
mkdir -p "$out"
out="$(cd "$out" && pwd)"
build="$out/build"

bash "$root/scripts/setup.sh"

# The flags as a Debian package build has them; -ffile-prefix-map names the
# sources' folder, so they are asked for from there.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
flag() { (cd "$root" && dpkg-buildflags --get "$1"); }
cppflags="$(flag CPPFLAGS)"
cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DVELTRANE_TESTS=OFF -DVELTRANE_BENCH=OFF \
  -DCMAKE_C_FLAGS="$(flag CFLAGS) $cppflags" \
  -DCMAKE_CXX_FLAGS="$(flag CXXFLAGS) $cppflags" \
  -DCMAKE_EXE_LINKER_FLAGS="$(flag LDFLAGS)" \
  -DCMAKE_SHARED_LINKER_FLAGS="$(flag LDFLAGS)" \
  -DCMAKE_MODULE_LINKER_FLAGS="$(flag LDFLAGS)"
cmake --build "$build" -j "${VELTRANE_JOBS:-2}" --target veltrane-host bVeltrane

rm -f "$out"/*.deb
(cd "$build" && cpack -G DEB -B "$out" >/dev/null)
rm -rf "$out/_CPack_Packages"
for deb in "$out"/*.deb; do
  echo "package: $(basename "$deb") $(du -k "$deb" | cut -f1) KiB"
done
