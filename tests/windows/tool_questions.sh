#!/bin/bash
# The questions Parvex.exe asks under Wine: overwriting pieces and the
# joined file, renaming a self-joining piece 0 that exists, and "Pause"
# asking for every disk. Their texts are Japanese, OK / Cancel.
. "$(dirname "$0")/lib.sh"

IN=$PVX_WINE_TMP/in
mkdir -p "$IN"
make_file "$IN/report.txt" 3000000
CAPTION='report.txt (2,929 Kbytes)'

# finish CAPTION TEXT: the closing report, OK, and the program's end.
finish() {
  drive until "$2" text "$1" 1004 || fail "no report \"$2\""
  drive click "$1" 2 || fail "cannot press OK"
  wait_prog "$PROG_PID" 30 || fail "Parvex did not end after the report"
}

# --- "Pause": one question per disk, before each piece ----------------------
reg_set Settings Check REG_DWORD 1
start_tool "$(winpath "$IN/report.txt")"
assert_eq 1 "$(drive check "$T" 1029)" "Pause from Check=1"
drive click "$T" 40001
for disk in 1 2 3; do
  expect_msgbox Parvex "Disk${disk}をセットしてください..." '[OK]'
  [ "$disk" = 2 ] && screenshot pause-question
  # Before the answer, no more of the set than the disks before exist.
  n=$(ls "$IN" | grep -c '^report\.c')
  assert_eq $((disk - 1)) "$n" "pieces written before disk $disk was confirmed"
  answer Parvex OK
done
finish "$CAPTION" 'report.txt is cut into 3 files.'
assert_eq 1457664 "$(size_of "$IN/report.c00")" "piece 0 after pausing"

# --- Overwriting pieces: Cancel leaves everything, OK replaces --------------
reg_set Settings Check REG_DWORD 0
touch -d '2001-01-01' "$IN"/report.c0*
before=$(stat -c '%s %Y' "$IN"/report.c0*)
start_tool "$(winpath "$IN/report.txt")"
drive click "$T" 40001
expect_msgbox Parvex $'report.c00 はすでに存在します.\n上書きしますか?' "[OK] [$CANCEL]"
screenshot overwrite-question
answer Parvex "$CANCEL"
drive until 1 iswindowenabled "$T" || fail "dialog not back after Cancel"
assert_eq "$before" "$(stat -c '%s %Y' "$IN"/report.c0*)" "pieces after Cancel"
drive click "$T" 40001
for k in 0 1 2; do
  expect_msgbox Parvex "report.c0$k はすでに存在します."$'\n上書きしますか?' "[OK] [$CANCEL]"
  answer Parvex OK
done
finish "$CAPTION" 'report.txt is cut into 3 files.'
[ "$(stat -c %Y "$IN/report.c02")" -gt 978307200 ] || fail "piece 2 not rewritten"

# --- Overwriting the joined file --------------------------------------------
mkdir -p "$PVX_WINE_TMP/joined"
printf 'old' >"$PVX_WINE_TMP/joined/report.txt"
start_tool "$(winpath "$IN/report.c00")"
type_destination "$(winpath "$PVX_WINE_TMP/joined")"
drive click "$T" 40002
expect_msgbox Parvex $'report.txt はすでに存在します.\n上書きしますか?' "[OK] [$CANCEL]"
answer Parvex "$CANCEL"
drive until 1 iswindowenabled "$T" || fail "dialog not back after Cancel"
assert_eq old "$(cat "$PVX_WINE_TMP/joined/report.txt")" "joined file after Cancel"
drive click "$T" 40002
expect_msgbox Parvex $'report.txt はすでに存在します.\n上書きしますか?' "[OK] [$CANCEL]"
answer Parvex OK
finish 'report.txt (2929 Kbytes)' 'report.txt is concatinated.'
cmp "$IN/report.txt" "$PVX_WINE_TMP/joined/report.txt" || fail "overwritten join differs"

# --- Renaming a self-joining piece 0 of an .exe -----------------------------
make_file "$IN/setup.exe" 2000000
printf 'keep' >"$IN/_sSetup.exe"
reg_set Settings Check REG_DWORD 2
start_tool "$(winpath "$IN/setup.exe")"
drive click "$T" 40001
expect_msgbox Parvex $'_sSetup.exe はすでに存在しています.\n__sSetup.exe に名前を変更して続行しますか?' \
  "[OK] [$CANCEL]"
answer Parvex OK
finish 'setup.exe (1,953 Kbytes)' 'setup.exe is cut into 2 files.'
assert_eq keep "$(cat "$IN/_sSetup.exe")" "the existing _sSetup.exe is untouched"
assert_eq 1457664 "$(size_of "$IN/__sSetup.exe")" "renamed piece 0"
[ -f "$IN/__sSetup.c01" ] || fail "piece 1 does not follow the new name"
echo PASS
