#!/usr/bin/env bash
# Proves the packages on a clean system: package-check.sh [OUT_DIR] (default build-pkg/)
#  1. builds them (scripts/package.sh);
#  2. lintian reports no error; the desktop entry and the metainfo validate;
#  3. a fresh Debian 12 (debootstrap, minbase) in OUT_DIR/chroot installs them,
#     apt resolving their Depends (no Recommends);
#  4. an ordinary user there runs the installed host headless: it creates its
#     demo database, opens the window and prints its grid, from the module in
#     the installed folder;
#  5. a purge leaves none of the packages' files behind.
# Any failure fails the script; so does a mirror that cannot be reached. The
# chroot is removed when all passed and kept for a look when something failed.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
started=$SECONDS
say() { echo "package-check: $*"; }
fail() { echo "package-check: FAILED: $*" >&2; exit 1; }
stage() { say "$1 ($((SECONDS - started)) s)"; }

out="${1:-$root/build-pkg}"
bash "$root/scripts/package.sh" "$out"
stage "packages built"
out="$(cd "$out" && pwd)"
target="$out/chroot"
suite=bookworm

# Whatever is mounted under the chroot, innermost first.
unmount_all() {
  local m
  for m in $(awk -v t="$target/" 'index($2, t) == 1 { print $2 }' /proc/mounts | sort -r); do
    umount "$m" 2>/dev/null || umount -l "$m"
  done
}
trap unmount_all EXIT

module_deb="$(ls "$out"/bveltrane_*.deb)"
host_deb="$(ls "$out"/veltrane-host_*.deb)"

# --- the packages as files ---------------------------------------------------
lintian --fail-on error --tag-display-limit 0 "$module_deb" "$host_deb" 2>&1 | sed 's/^/lintian: /' \
  || fail "lintian reports errors"
contents="$out/contents"
rm -rf "$contents"
dpkg-deb -x "$host_deb" "$contents"
desktop-file-validate "$contents"/usr/share/applications/*.desktop || fail "desktop entry"
appstreamcli validate --no-net "$contents"/usr/share/metainfo/*.metainfo.xml || fail "AppStream metainfo"
rm -rf "$contents"
stage "lintian, desktop-file-validate and appstreamcli passed"

# --- a clean system ------------------------------------------------------------
# The mirror this machine's apt uses, unless VELTRANE_DEBIAN_MIRROR names one.
mirror() {
  if [ -n "${VELTRANE_DEBIAN_MIRROR:-}" ]; then
    echo "$VELTRANE_DEBIAN_MIRROR"
    return
  fi
  local f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk -v suite="$suite" 'BEGIN { RS = ""; FS = "\n" }
      { uri = ""; ok = 0
        for (i = 1; i <= NF; i++) {
          if ($i ~ /^URIs:/) { split($i, w, /[ \t]+/); uri = w[2] }
          if ($i ~ /^Suites:/) { n = split($i, w, /[ \t]+/); for (j = 2; j <= n; j++) if (w[j] == suite) ok = 1 }
        }
        if (ok && uri != "") { print uri; exit } }' "$f"
  done | head -n 1 | grep . && return
  sed 's/\[[^]]*\]//' /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null \
    | awk -v suite="$suite" '$1 == "deb" && $3 == suite { print $2; exit }'
}
url="$(mirror || true)"
[ -n "$url" ] || fail "no Debian mirror for $suite in this machine's apt sources (set VELTRANE_DEBIAN_MIRROR)"

unmount_all
rm -rf --one-file-system "$target"
say "debootstrap --variant=minbase $suite from $url"
debootstrap --variant=minbase "$suite" "$target" "$url" >"$out/debootstrap.log" 2>&1 \
  || { tail -n 20 "$out/debootstrap.log" >&2; fail "debootstrap could not make a $suite system from $url (see $out/debootstrap.log)"; }
stage "clean $suite system made"
mount -t proc proc "$target/proc"
# Fetched as this machine's apt fetches (its proxy, its view of dates).
apt-config dump | grep -E '^Acquire::(Check-Valid-Until|Check-Date|https?::Proxy) ' \
  >"$target/etc/apt/apt.conf.d/90build-machine" || true

inside() {
  chroot "$target" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
    DEBIAN_FRONTEND=noninteractive "$@"
}
mkdir -p "$target/tmp/packages"
cp "$module_deb" "$host_deb" "$target/tmp/packages/"
inside apt-get update -q >"$out/apt.log" 2>&1 || { tail -n 20 "$out/apt.log" >&2; fail "apt-get update in the chroot"; }
inside apt-get install -y -q --no-install-recommends \
  "/tmp/packages/$(basename "$module_deb")" "/tmp/packages/$(basename "$host_deb")" >>"$out/apt.log" 2>&1 \
  || { tail -n 20 "$out/apt.log" >&2; fail "the packages do not install with their Depends"; }
stage "installed with $(inside dpkg-query -W -f='.\n' | wc -l) packages in all"

# --- the installed host --------------------------------------------------------
inside dpkg -L bveltrane veltrane-host | sort -u >"$out/files"
module_file="$(grep '/libbVeltrane\.so$' "$out/files")" || fail "bveltrane installs no libbVeltrane.so"
version="$(inside veltrane-host --version 2>"$out/host.err")"
[ "$version" = "veltrane-host $(dpkg-deb -f "$host_deb" Version | sed 's/-[^-]*$//')" ] \
  || fail "veltrane-host --version says: $version"

inside useradd --create-home --shell /bin/sh clerk
uid="$(inside id -u clerk)"
gid="$(inside id -g clerk)"
script='module
open TbfrmVeltrane
windows
mode summary
status
grid
quit
'
run="$(printf '%s' "$script" | chroot --userspec="$uid:$gid" "$target" /usr/bin/env -i \
  PATH=/usr/bin:/bin HOME=/home/clerk USER=clerk LANG=C.UTF-8 QT_QPA_PLATFORM=offscreen \
  veltrane-host --screen 1280x800 --script - 2>"$out/host.err")" \
  || { cat "$out/host.err" >&2; fail "the installed host's script run failed"; }
printf '%s\n' "$run" | sed -n '1,7s/^/host: /p'
grep -qx "module $module_file" <<<"$run" || fail "the module was not loaded from $module_file"
grep -q '^window TbfrmVeltrane caption=支付范围划分确认 ' <<<"$run" || fail "the window did not open"
grep -q '^status 共 [1-9][0-9]* 行' <<<"$run" || fail "the window shows no rows"
[ "$(grep -c '^\[ \]' <<<"$run")" -gt 0 ] || fail "the grid printed no rows"
[ -f "$target/home/clerk/.local/share/Veltrane/veltrane-host/demo.sqlite" ] \
  || fail "no demo database in the user's data folder"
stage "the installed host ran the window on its demo database"

# --- purge -----------------------------------------------------------------------
inside apt-get purge -y -q bveltrane veltrane-host >>"$out/apt.log" 2>&1 || fail "purge"
for p in bveltrane veltrane-host; do
  status="$(inside dpkg-query -W -f='${db:Status-Abbrev}' "$p" 2>/dev/null || true)"
  case "$status" in "" | un*) ;; *) fail "$p is still there after the purge: $status" ;; esac
done
left=()
while IFS= read -r path; do
  case "$path" in "" | /.) continue ;; esac
  [ -e "$target$path" ] || [ -L "$target$path" ] || continue
  # A folder still there belongs to another package too.
  if [ -d "$target$path" ] && [ ! -L "$target$path" ] && inside dpkg-query -S "$path" >/dev/null 2>&1; then
    continue
  fi
  left+=("$path")
done <"$out/files"
[ ${#left[@]} -eq 0 ] || fail "left after the purge: ${left[*]}"
stage "purged, nothing of the packages left"

unmount_all
rm -rf --one-file-system "$target"
say "passed in $((SECONDS - started)) s"
