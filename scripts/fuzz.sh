#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time:
# fuzz.sh [SECONDS_PER_TARGET] (default 60). A crash fails the script and leaves
# the crashing input in the build folder.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${1:-60}"
out="${VELTRANE_FUZZ_DIR:-$root/build-fuzz}"
cxx="$(command -v clang++-14 || command -v clang++)"
mkdir -p "$out"
qt=$(pkg-config --cflags --libs Qt6Core)
flags=(-std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
       -DTOOLKIT_LIBRARY -I"$root")

build() {
  local name="$1"; shift
  # shellcheck disable=SC2086
  "$cxx" "${flags[@]}" "$@" -o "$out/$name" $qt
}

build fuzz_layout "$root/fuzz/fuzz_layout.cpp" "$root/grid/untLayoutFile.cpp" "$root/toolkit/SysUtils.cpp"
if [ -f "$root/fuzz/fuzz_connection_string.cpp" ]; then
  build fuzz_connection_string "$root/fuzz/fuzz_connection_string.cpp" "$root/toolkit/ConnectionString.cpp" \
        "$root/toolkit/SysUtils.cpp"
fi

build fuzz_sql_shape "$root/fuzz/fuzz_sql_shape.cpp" "$root/toolkit/SqliteStatements.cpp" -lsqlite3

# The targets run side by side (the machine's cores share them), each for the
# time given; each one's last lines are printed when all have ended.
pids=()
for target in "$out"/fuzz_*; do
  [ -x "$target" ] || continue
  name="$(basename "$target")"
  corpus="$out/corpus-$name"
  mkdir -p "$corpus"
  [ -d "$root/fuzz/seeds/$name" ] && cp -n "$root/fuzz/seeds/$name"/* "$corpus"/ 2>/dev/null || true
  echo "fuzz: $name for ${seconds}s"
  (cd "$out" && "$target" -max_total_time="$seconds" -rss_limit_mb=2048 -max_len=65536 "$corpus" \
     > "$out/$name.log" 2>&1) &
  pids+=("$!:$name")
done
failed=0
for entry in "${pids[@]}"; do
  name="${entry#*:}"
  if ! wait "${entry%%:*}"; then
    echo "fuzz: $name found a crash:"
    failed=1
  fi
  tail -n 3 "$out/$name.log"
done
[ "$failed" = 0 ] || exit 1
echo "fuzz: no crash"
