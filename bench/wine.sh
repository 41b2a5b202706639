#!/bin/bash
# Times Parvex.exe (cut and join) and the self-joining stub (join) under Wine
# on one file, against a bare 32768-byte ReadFile/WriteFile loop under Wine
# (bench/wine_copy.cpp) doing the same copy without a window.
#
#   bash bench/wine.sh
#
# Settings (environment): SIZE (bytes joined, 200000000), CUT_SIZE (bytes cut,
# 145000000; see below), ROUNDS (3), PARVEX (makes the sets to join; default
# build/cli/parvex), BUILD (the build folder holding windows/Parvex.exe,
# windows/_sSPVX.exe and tests/wine/pvxdrive.exe; default build/). Needs what the Wine tests need
# (tests/wine/README.md) and i686-w64-mingw32-g++ for wine_copy.exe.
#
# A run's time is taken from the files it writes: from the birth of the first
# file to the last modification of any of them (stat %W and %Y), which leaves
# out Wine's start-up and the driver's polling. The time from the click to the
# closing report, as the driver sees it, is printed too. The runs go round
# by round: Parvex.exe cut, bare cut, Parvex.exe join, bare join, stub join.
# (program minus bare) / chunks is what each 32768-byte chunk costs the
# program beyond the copy itself: the progress bar's update with its message
# handling, and the Cancel check, which this script cannot tell apart.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD:-$root/build}
size=${SIZE:-200000000}
cut_size=${CUT_SIZE:-145000000}
parvex=${PARVEX:-$root/build/cli/parvex}
rounds=${ROUNDS:-3}
export PVX_TOOL_EXE=$build/windows/Parvex.exe
export PVX_STUB_EXE=$build/windows/_sSPVX.exe
export PVX_WINE_BIN=$build/tests/wine
export PVX_WINE_HARNESS=$root/tests/wine/harness.sh
export PVX_ARTEFACTS=${PVX_ARTEFACTS:-$build/bench-wine}
for f in "$PVX_TOOL_EXE" "$PVX_STUB_EXE" "$PVX_WINE_BIN/pvxdrive.exe"; do
  [ -f "$f" ] || { echo "bench: $f is missing (build the Windows programs and pvx_wine_tools)" >&2; exit 1; }
done
bare=$build/wine_copy.exe
i686-w64-mingw32-g++ -O2 -static -s -o "$bare" "$root/bench/wine_copy.cpp" ||
  { echo "bench: cannot build wine_copy.exe" >&2; exit 1; }

. "$root/tests/windows/lib.sh"   # Xvfb, a fresh prefix, the driver helpers
shopt -s nocaseglob               # the stub's set is _sBig.exe, _sBig.c01, ...

# Parvex.exe's cut stops after 100 pieces, and its largest piece is 1.44M:
# the largest file it cuts is 100 * 1457664 - 284 bytes. The cuts use a file
# of CUT_SIZE bytes (default 145000000). The joins use a SIZE-byte file whose
# sets (plain and self-joining) parvex cuts into pieces of 2M (parvex has the
# same limit of 100 pieces; the joiners take any piece size).
SRC=$PVX_WINE_TMP/src
CSRC=$PVX_WINE_TMP/csrc
SET=$PVX_WINE_TMP/set
SELF=$PVX_WINE_TMP/self
OUT=$PVX_WINE_TMP/out
mkdir -p "$SRC" "$CSRC" "$SET" "$SELF" "$OUT"
piece=1457664          # the default size, 1.44M
[ "$cut_size" -le $((100 * piece - 284)) ] ||
  { echo "bench: CUT_SIZE $cut_size needs more than 100 pieces" >&2; exit 1; }
make_file "$SRC/big.bin" "$size"
make_file "$CSRC/big.bin" "$cut_size"
join_piece=2097152
[ "$size" -le $((100 * join_piece - 284)) ] ||
  { echo "bench: SIZE $size needs more than 100 pieces of 2M" >&2; exit 1; }
"$parvex" cut -y -s "$join_piece" -d "$SET" "$SRC/big.bin" >/dev/null || fail "parvex cut failed"
"$parvex" cut -y -x -s "$join_piece" -d "$SELF" "$SRC/big.bin" >/dev/null || fail "parvex cut -x failed"
cat "$SRC/big.bin" "$CSRC/big.bin" "$SET"/* "$SELF"/* >/dev/null
chunk=32768
chunks=$(( (size + chunk - 1) / chunk ))
cut_chunks=$(( (cut_size + chunk - 1) / chunk ))
npieces=$(( (cut_size + 284 + piece - 1) / piece ))

# span FILE...: seconds from the earliest birth to the latest modification.
span() {
  stat -c '%.9W %.9Y' "$@" |
    awk 'NR == 1 || $1 < b { b = $1 } NR == 1 || $2 > m { m = $2 } END { printf "%.3f", m - b }'
}
since() { awk -v a="$1" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.2f", b - a }'; }

# finish PREFIX REPORT: waits for the progress window whose caption starts with
# PREFIX to show REPORT, presses its OK; sets wall to the seconds since $t0.
finish() {
  local p
  p=$(drive -t 30000 waitprefix "$1" | cut -d' ' -f2-) || fail "no progress window $1"
  drive -t 300000 until "$2" text "$p" 1004 >/dev/null || fail "no report \"$2\""
  wall=$(since "$t0")
  drive click "$p" 2 >/dev/null || fail "cannot press OK"
  wait_prog "$PROG_PID" 60 || fail "program did not end"
}

tool_cut() {
  rm -f "$CSRC"/big.c*
  sync
  start_tool "$(winpath "$CSRC/big.bin")"
  t0=$EPOCHREALTIME
  drive click "$T" 40001 >/dev/null
  finish 'big.bin (' "big.bin is cut into $npieces files."
  files=$(span "$CSRC"/big.c*)
  cmp -s <(cat $(ls "$CSRC"/big.c* | sort -V) | tail -c +285) "$CSRC/big.bin" ||
    fail "Parvex.exe cut differs"
}

bare_cut() {
  rm -rf "$OUT/bc"; mkdir "$OUT/bc"; sync
  t0=$EPOCHREALTIME
  wine "$bare" cut "$(winpath "$CSRC/big.bin")" "$piece" 284 "$(winpath "$OUT/bc")\\big" ||
    fail "bare cut failed"
  wall=$(since "$t0")
  files=$(span "$OUT"/bc/big.c*)
  cmp -s <(cat $(ls "$OUT"/bc/big.c* | sort -V) | tail -c +285) "$CSRC/big.bin" ||
    fail "bare cut differs"
}

tool_join() {
  rm -f "$SET/big.bin"; sync
  start_tool "$(winpath "$SET/big.c01")"
  drive select "$T" 1028 0 >/dev/null    # (Same Folder)
  t0=$EPOCHREALTIME
  drive click "$T" 40002 >/dev/null
  finish 'big.bin (' 'big.bin is concatinated.'
  files=$(span "$SET/big.bin")
  cmp -s "$SET/big.bin" "$SRC/big.bin" || fail "Parvex.exe join differs"
  rm -f "$SET/big.bin"
}

bare_join() {
  rm -f "$OUT/bj.bin"; sync
  local args=() f
  for f in $(ls "$SET"/big.c* | sort -V); do args+=("$(winpath "$f")"); done
  t0=$EPOCHREALTIME
  wine "$bare" join "$(winpath "$OUT/bj.bin")" 284 "${args[@]}" || fail "bare join failed"
  wall=$(since "$t0")
  files=$(span "$OUT/bj.bin")
  cmp -s "$OUT/bj.bin" "$SRC/big.bin" || fail "bare join differs"
}

stub_join() {
  rm -rf "$OUT/sj"; mkdir "$OUT/sj"; sync
  start_prog "$(ls "$SELF"/_s*.exe)"
  local s
  s=$(drive waitprefix 'Parvex Self' | cut -d' ' -f2-) || fail "no stub dialog"
  drive settext "$s" 1000 "$(winpath "$OUT/sj")" >/dev/null
  t0=$EPOCHREALTIME
  drive click "$s" 1 >/dev/null
  finish 'big.bin (' 'big.bin is concatinated.'
  files=$(span "$OUT/sj/big.bin")
  cmp -s "$OUT/sj/big.bin" "$SRC/big.bin" || fail "stub join differs"
}

echo "Windows programs under Wine: cuts of $cut_size bytes ($cut_chunks chunks of $chunk bytes) into pieces of $piece,"
echo "joins of $size bytes ($chunks chunks) from pieces of $join_piece"
echo "wine: $(wine --version 2>/dev/null); nproc: $(nproc); load average $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-6s %-18s %10s %10s\n' round run "files s" "click s"
declare -A sum
for ((r = 1; r <= rounds; r++)); do
  for run in tool_cut bare_cut tool_join bare_join stub_join; do
    $run
    printf '%-6s %-18s %10s %10s\n' "$r" "$run" "$files" "$wall"
    echo "$files" >>"$PVX_WINE_TMP/$run.t"
  done
done
median() { sort -g "$1" | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
echo
for run in tool_cut bare_cut tool_join bare_join stub_join; do
  m=$(median "$PVX_WINE_TMP/$run.t")
  n=$size; case $run in *cut) n=$cut_size ;; esac
  printf 'median %-10s %7.3f s  %6.1f MB/s  (runs: %s)\n' "$run" "$m" \
    "$(awk -v s="$n" -v t="$m" 'BEGIN { print s / t / 1e6 }')" "$(tr '\n' ' ' <"$PVX_WINE_TMP/$run.t")"
done
per() {
  awk -v a="$(median "$PVX_WINE_TMP/$1.t")" -v b="$(median "$PVX_WINE_TMP/$2.t")" -v n="$3" \
    'BEGIN { printf "%.1f us per chunk (%.3f s over %d chunks)", (a - b) / n * 1e6, a - b, n }'
}
echo "beyond the bare copy: Parvex.exe cut $(per tool_cut bare_cut "$cut_chunks")"
echo "                      Parvex.exe join $(per tool_join bare_join "$chunks")"
echo "                      stub join $(per stub_join bare_join "$chunks")"
echo "load average at end: $(cut -d' ' -f1-3 /proc/loadavg)"
