#!/bin/bash
# "Concatinate" of Parvex.exe never empties a file it reads, and never
# writes under a name that Windows takes for a device or trims to another
# name: sets whose piece 0 header names one of the pieces, or such a name.
#
# Environment: PVX_TOOL_EXE, PVX_PARVEX (cuts the sets).
. "$(dirname "$0")/lib.sh"
. "$(dirname "$PVX_WINE_HARNESS")/crafted_sets.sh"

SET=$PVX_WINE_TMP/set
# Pieces of 40000 bytes: report.c00 .. report.c02.
BYTES=100000
PIECE=40000

# join_set: starts Parvex.exe on the set and presses "Concatinate", the
# output going to the set's own folder.
join_set() {
  start_tool "$(winpath "$SET/report.c00")"
  drive select "$T" 1028 0 || fail "cannot select (Same Folder)"
  drive click "$T" 40002 || fail "Concatinate not pressable"
}

# refused TEXT [SHOT]: the refusal TEXT (a screenshot SHOT of it), OK, the
# dialog back, and the program ended.
refused() {
  expect_msgbox Parvex "$1" '[OK]'
  [ -n "${2:-}" ] && screenshot "$2" >/dev/null
  answer Parvex OK
  drive until 1 iswindowenabled "$T" >/dev/null || fail "dialog not back after the refusal"
  end_tool
}

# --- The header names a piece of the set -------------------------------------
# The overwrite question comes first (the name exists); OK must not empty it.
for name in report.c01 report.c02 REPORT.C01 report.c00; do
  plain_set "$SET" $BYTES $PIECE "$name"
  before=$(fingerprint "$SET")
  join_set
  expect_msgbox Parvex "$name はすでに存在します."$'\n上書きしますか?' "[OK] [$CANCEL]"
  answer Parvex OK
  # Windows names are case-blind: the refusal names the path as the header has it.
  refused "$(winpath "$SET")\\$name: 処理中の入力ファイルです. 上書きできません." \
    "refused-$name"
  assert_eq "$before" "$(fingerprint "$SET")" "the set after a join naming $name"
done

# A set with a gap: report.c01 is missing, the header names report.c02. The
# join would end at the gap, but not before it had emptied report.c02.
plain_set "$SET" $BYTES $PIECE report.c02
rm "$SET/report.c01"
before=$(fingerprint "$SET")
join_set
expect_msgbox Parvex $'report.c02 はすでに存在します.\n上書きしますか?' "[OK] [$CANCEL]"
answer Parvex OK
refused "$(winpath "$SET")\\report.c02: 処理中の入力ファイルです. 上書きできません."
assert_eq "$before" "$(fingerprint "$SET")" "the set with a gap after the join"

# --- Names Windows takes for a device or trims ------------------------------
# Refused before any question, nothing created; report.c01. would be trimmed
# to the existing piece report.c01.
for name in NUL con.txt COM1.log report.c01. 'nul .txt' lpt3; do
  plain_set "$SET" $BYTES $PIECE "$name"
  before=$(fingerprint "$SET")
  join_set
  refused "report.c00: ヘッダのファイル名 \"$name\" は使えません." "refused-$name"
  assert_eq "$before" "$(fingerprint "$SET")" "the set after a join naming $name"
done

# --- The output at a piece's name, found while the output is open ------------
# With "Pause", piece 1 is looked for only after disk 2 is confirmed. The
# header names report.c01, which is not there at the start: the output is
# created under that name, and at disk 2 it stands where piece 1 is looked
# for. It is refused as the output, not read as a piece.
plain_set "$SET" $BYTES $PIECE report.c01
mv "$SET/report.c01" "$PVX_WINE_TMP/report.c01"
reg_set Settings Check REG_DWORD 1
join_set
assert_eq 1 "$(drive check "$T" 1029)" "Pause from Check=1"
expect_msgbox Parvex 'Disk1をセットしてください...' '[OK]'
answer Parvex OK
expect_msgbox Parvex 'Disk2をセットしてください...' '[OK]'
answer Parvex OK
refused "$(winpath "$SET")\\report.c01: 出力ファイルです. 分割ファイルとして読めません."
assert_eq $((PIECE - 284)) "$(size_of "$SET/report.c01")" "the output: piece 0's data"
echo PASS
