#!/bin/bash
# Cuts that do not complete, under Wine: Cancel pressed in the progress
# window, and a source that ends early (a read failure). Both leave the
# pieces written so far and the dialog open; the history is saved at once
# after a cancelled cut, but only at the next save after a read failure.
. "$(dirname "$0")/lib.sh"

# --- Cancel during a long cut -----------------------------------------------
SIZE=140000000                  # 97 pieces of 1.44M: about 3 s under Wine
make_file "$PVX_WINE_TMP/big.bin" $SIZE
DEST=$PVX_WINE_TMP/cancelled
P='big.bin (136,718 Kbytes)'
start_tool "$(winpath "$PVX_WINE_TMP/big.bin")"
type_destination "$(winpath "$DEST")"
drive click "$T" 40001
for _ in $(seq 600); do [ -e "$DEST/big.c10" ] && break; sleep 0.05; done
[ -e "$DEST/big.c10" ] || fail "the cut did not get to piece 10"
screenshot progress-during-cut
drive click "$P" 2 || fail "cannot press Cancel"
drive gone "$P" || fail "progress window still there after Cancel"
drive until 1 iswindowenabled "$T" || fail "dialog not enabled again"
drive -t 0 msgbox Parvex 2>/dev/null && fail "a message after Cancel"

pieces=$(ls "$DEST" | grep -c '^big\.c')
last=$((pieces - 1))
[ "$pieces" -lt 97 ] || fail "Cancel came too late: all $pieces pieces written"
for ((k = 0; k < last; k++)); do
  assert_eq 1457664 "$(size_of "$DEST/$(printf 'big.c%02d' $k)")" "complete piece $k"
done
lastfile=$DEST/$(printf 'big.c%02d' $last)
[ "$(size_of "$lastfile")" -le 1457664 ] || fail "last piece too long"
[ -e "$DEST/$(printf 'big.c%02d' $pieces)" ] && fail "a piece after the cancelled one"
# What the pieces hold is the start of the source, chunk by chunk.
{
  tail -c +285 "$DEST/big.c00"
  for ((k = 1; k <= last; k++)); do cat "$DEST/$(printf 'big.c%02d' $k)"; done
} >"$PVX_WINE_TMP/prefix.bin"
copied=$(size_of "$PVX_WINE_TMP/prefix.bin")
cmp -s -n "$copied" "$PVX_WINE_TMP/prefix.bin" "$PVX_WINE_TMP/big.bin" ||
  fail "the pieces do not hold the start of the source"
# The cancelled piece ends after a whole chunk of 32768 bytes (counted from
# its data's start), unless Cancel came during its last chunk.
tail_data=$(size_of "$lastfile")
[ "$last" -eq 0 ] && tail_data=$((tail_data - 284))
[ $((tail_data % 32768)) -eq 0 ] || [ "$(size_of "$lastfile")" -eq 1457664 ] ||
  fail "the cancelled piece holds $tail_data data bytes, not whole chunks"
# Saved right after the cancelled cut, with the dialog still open.
assert_eq "$(winpath "$DEST")" "$(reg_value Destinations Folder1)" "history after Cancel"
assert_eq "$(winpath "$DEST")" "$(drive text "$T" 1028)" "destination still shown"
end_tool
assert_eq 0x1 "$(reg_value Settings Sel)" "Sel after Cancel and close"
rm -f "$PVX_WINE_TMP/big.bin" "$PVX_WINE_TMP/prefix.bin"
rm -rf "$DEST"

# --- A source that ends early -----------------------------------------------
wine reg delete "$KEY" /f >/dev/null 2>&1
make_file "$PVX_WINE_TMP/report.txt" 3000000
reg_set Settings Check REG_DWORD 1          # Pause: the source shrinks at disk 2
DEST=$PVX_WINE_TMP/short
start_tool "$(winpath "$PVX_WINE_TMP/report.txt")"
type_destination "$(winpath "$DEST")"
drive click "$T" 40001
expect_msgbox Parvex 'Disk1をセットしてください...' '[OK]'
answer Parvex OK
expect_msgbox Parvex 'Disk2をセットしてください...' '[OK]'
truncate -s 2000000 "$PVX_WINE_TMP/report.txt"
answer Parvex OK
expect_msgbox Parvex "$(winpath "$PVX_WINE_TMP/report.txt"): ファイルが途中で終わっています." '[OK]'
drive -t 0 wait 'report.txt (2,929 Kbytes)' >/dev/null 2>&1 &&
  fail "progress window still up under the failure message"
assert_eq '' "$(reg_value Destinations Folder1)" "history saved at the read failure"
answer Parvex OK
drive until 1 iswindowenabled "$T" || fail "dialog not enabled after the failure"
assert_eq 1457664 "$(size_of "$DEST/report.c00")" "piece 0 before the failure"
assert_eq $((2000000 + 284 - 1457664)) "$(size_of "$DEST/report.c01")" \
  "piece 1 holds what could be read"
end_tool
assert_eq "$(winpath "$DEST")" "$(reg_value Destinations Folder1)" "history saved on closing"
assert_eq 0x1 "$(reg_value Settings Sel)" "Sel resolved on closing"
assert_eq 0x1 "$(reg_value Settings Check)" "Check kept"
echo PASS
