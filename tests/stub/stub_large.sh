#!/bin/bash
# The self-joining stub under Wine rebuilds a source of 4 GiB + 1 MiB cut by
# parvex --self-join (a "@PARVEX+" header), under a name without a code
# page 932 form: the exact name and every byte. The source is sparse, with
# random bytes at its start, middle and end; its pieces and the rebuilt
# file take real room: skipped (status 77) when the disk has less than
# 10 GiB free.
#
# Environment: PVX_PARVEX (the parvex program), PVX_STUB_EXE (_sSPVX.exe,
# for the length of the stub image), and what the Wine harness reads.
. "${PVX_WINE_HARNESS:?}"

M='Parvex Self Concatinate file... (0.07)'  # the stub's dialog
NAME='Präsentation.mp4'
SIZE=$((4 * 1024 * 1024 * 1024 + 1024 * 1024))

free=$(df -Pk "$PVX_WINE_TMP" | awk 'NR == 2 { print $4 }')
if [ "${free:-0}" -lt $((10 * 1024 * 1024)) ]; then
  echo "SKIP: the 4 GiB + 1 MiB source needs 10 GiB free in $PVX_WINE_TMP, $((${free:-0} / 1024)) MiB are"
  exit 77
fi

SET=$PVX_WINE_TMP/set
SOURCE=$PVX_WINE_TMP/orig/$NAME
mkdir -p "$SET" "$PVX_WINE_TMP/orig"
truncate -s "$SIZE" "$SET/$NAME"
for at in 0 $((SIZE / 2)) $((SIZE - 4096)); do
  head -c 4096 /dev/urandom | dd of="$SET/$NAME" bs=4096 seek=$((at / 4096)) \
    conv=notrunc status=none || fail "cannot write the source"
done
"${PVX_PARVEX:?}" cut --self-join --size 1GiB "$SET/$NAME" >/dev/null ||
  fail "parvex could not cut $NAME"
mv "$SET/$NAME" "$SOURCE"
[ -f "$SET/_sPräsentation.c04" ] && [ ! -e "$SET/_sPräsentation.c05" ] ||
  fail "parvex wrote no set of 5 pieces"
STUB_SIZE=$(stat -c %s "$PVX_STUB_EXE")
assert_eq '@PARVEX+' "$(dd if="$SET/_sPräsentation.exe" bs=1 skip="$STUB_SIZE" count=8 2>/dev/null)" \
  "the header of a source of 4 GiB or more"

# The caption shows the whole set's size: source, stub image and header.
P="$NAME ($(((SIZE + STUB_SIZE + 284) >> 10)) Kbytes)"
OUT=$PVX_WINE_TMP/out
start_prog "$SET/_sPräsentation.exe"
drive wait "$M" >/dev/null || fail "the stub's dialog did not appear"
drive settext "$M" 1000 "$(winpath "$OUT")" || fail "cannot type the destination"
drive clickbutton "$M" '&Concatinate' || fail "&Concatinate not pressable"
drive -t 1500000 until OK text "$P" 2 >/dev/null || fail "the join did not finish"
assert_eq "$NAME is concatinated." "$(drive text "$P" 1004)" "closing text"
drive click "$P" 2
wait_prog "$PROG_PID" 30 || fail "the stub did not end after OK"
assert_eq "$NAME" "$(ls "$OUT")" "files in the destination"
cmp -s "$SOURCE" "$OUT/$NAME" || fail "$NAME was not rebuilt byte for byte"
echo "stub joins 4 GiB + 1 MiB: ok"
