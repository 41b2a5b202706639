#!/bin/bash
# "Concatinate" of Parvex.exe over sets that parvex cut: a source whose name
# has no code page 932 form (the header's record carries the exact name,
# FileName a stand-in), and a set of 150 pieces, more than Parvex.exe ever
# cuts itself.
#
# Environment: PVX_TOOL_EXE, PVX_PARVEX (cuts the sets).
. "$(dirname "$0")/lib.sh"

# wait_report CAPTION TEXT: waits for the closing report in the progress
# window, then presses its OK.
wait_report() {
  drive until "$2" text "$1" 1004 || fail "no report \"$2\" in \"$1\""
  assert_eq OK "$(drive text "$1" 2)" "button of the finished progress window"
  drive click "$1" 2 || fail "cannot press OK in $1"
}

# cut_set DIR NAME BYTES PIECE: a file of pseudo-random bytes cut by parvex
# into a plain set in DIR; the original is kept as DIR.orig/NAME.
cut_set() {
  mkdir -p "$1" "$1.orig"
  make_file "$1.orig/$2" "$3"
  cp "$1.orig/$2" "$1/$2"
  "${PVX_PARVEX:?}" cut --size "$4" "$1/$2" >/dev/null ||
    fail "parvex could not cut $2"
  rm "$1/$2"
}

# join_into PIECE OUT: starts Parvex.exe on PIECE and presses "Concatinate"
# with the typed destination OUT.
join_into() {
  start_tool "$(winpath "$1")"
  assert_eq 1 "$(drive enabled "$T" 40002)" "Concatinate for $(basename "$1")"
  type_destination "$(winpath "$2")"
  drive click "$T" 40002 || fail "Concatinate not pressable"
}

reg_set Settings Check REG_DWORD 0          # neither "SPvX..." nor "Pause"

# --- A name without a code page 932 form -------------------------------------
# "ä" has none: FileName holds the stand-in Pr_sentation.mp4, the record the
# exact name, and the output takes the exact one.
NAME='Präsentation.mp4'
SET=$PVX_WINE_TMP/praesentation
cut_set "$SET" "$NAME" 100000 40000
[ -f "$SET/Präsentation.c00" ] && [ -f "$SET/Präsentation.c02" ] ||
  fail "parvex wrote no set for $NAME"
assert_eq 'Pr_sentation.mp4' "$(dd if="$SET/Präsentation.c00" bs=1 skip=20 count=16 2>/dev/null)" \
  "the stand-in in FileName"
OUT=$PVX_WINE_TMP/out
join_into "$SET/Präsentation.c01" "$OUT"
wait_report "$NAME (97 Kbytes)" "$NAME is concatinated."
wait_prog "$PROG_PID" 30 || fail "Parvex did not end after the join"
cmp -s "$SET.orig/$NAME" "$OUT/$NAME" || fail "$NAME was not rebuilt byte for byte"
assert_eq "$NAME" "$(ls "$OUT")" "files in the destination"

# --- 150 pieces: c00 ... c149 ------------------------------------------------
# Piece 0 holds 1024 - 284 = 740 bytes of data, every later one 1024, the
# last 100.
BYTES=$((740 + 148 * 1024 + 100))
SET=$PVX_WINE_TMP/many
cut_set "$SET" many.bin "$BYTES" 1024
[ -f "$SET/many.c149" ] && [ ! -e "$SET/many.c150" ] || fail "parvex wrote no set of 150 pieces"
OUT=$PVX_WINE_TMP/out150
join_into "$SET/many.c149" "$OUT"
P="many.bin ($((BYTES >> 10)) Kbytes)"
drive -t 120000 until OK text "$P" 2 >/dev/null || fail "the join of 150 pieces did not finish"
assert_eq 'many.c149 (0 Kbytes)' "$(drive text "$P" 1005)" "label of the last piece"
wait_report "$P" 'many.bin is concatinated.'
wait_prog "$PROG_PID" 30 || fail "Parvex did not end after the join of 150 pieces"
cmp -s "$SET.orig/many.bin" "$OUT/many.bin" || fail "the 150 pieces were not joined byte for byte"
echo PASS
