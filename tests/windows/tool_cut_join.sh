#!/bin/bash
# Parvex.exe cuts and joins under Wine: a self-joining cut of a file named on
# the command line, rebuilt by the stub it wrote; a plain cut into a typed
# folder and its "Concatinate" join; what the runs leave in the settings.
. "$(dirname "$0")/lib.sh"

# wait_report CAPTION TEXT: waits for the closing report in the progress
# window, then presses its OK.
wait_report() {
  drive until "$2" text "$1" 1004 || fail "no report \"$2\" in \"$1\""
  assert_eq OK "$(drive text "$1" 2)" "button of the finished progress window"
  drive click "$1" 2 || fail "cannot press OK in $1"
}

IN=$PVX_WINE_TMP/in
mkdir -p "$IN"
make_file "$IN/Report.txt" 3000000

# --- Self-joining cut of a file named on the command line -------------------
reg_set Settings Check REG_DWORD 2          # "SPvX..." ticked, "Pause" not
# Typed in other case: the field shows the name as stored.
start_tool /p "$(winpath "$IN")\\REPORT.TXT"
assert_eq "$(winpath "$IN")\\Report.txt" "$(drive text "$T" 1001)" \
  "command line name in its stored form"
assert_eq 1 "$(drive check "$T" 1027)" "SPvX... from Check=2"
assert_eq 0 "$(drive check "$T" 1029)" "Pause from Check=2"
assert_eq 1 "$(drive enabled "$T" 40001)" "Cut enabled by the command line name"
drive click "$T" 40001
wait_report 'Report.txt (2,929 Kbytes)' 'Report.txt is cut into 3 files.'
wait_prog "$PROG_PID" 30 || fail "Parvex did not end after a successful cut"

assert_eq 1457664 "$(size_of "$IN/_sReport.exe")" "piece 0 of the self-joining set"
assert_eq 1457664 "$(size_of "$IN/_sReport.c01")" "piece 1"
stub=$(size_of "$PVX_STUB_EXE")
assert_eq $((3000000 + stub + 284 - 2 * 1457664)) "$(size_of "$IN/_sReport.c02")" "piece 2"
cmp -s -n "$stub" "$PVX_STUB_EXE" "$IN/_sReport.exe" ||
  fail "piece 0 does not start with the stub program"
assert_eq '@PARVEX ' "$(dd if="$IN/_sReport.exe" bs=1 skip="$stub" count=8 2>/dev/null)" \
  "header behind the stub image"
assert_eq 0x2 "$(reg_value Settings Check)" "Check kept"
assert_eq 0x0 "$(reg_value Settings Size)" "Size kept"
assert_eq 0x0 "$(reg_value Settings Sel)" "Sel kept"

# The stub rebuilds the file from itself and the pieces beside it.
mkdir -p "$PVX_WINE_TMP/rebuilt"
start_prog "$IN/_sReport.exe"
S=$(drive waitprefix 'Parvex Self' | cut -d' ' -f2-) || fail "no stub dialog"
drive settext "$S" 1000 "$(winpath "$PVX_WINE_TMP/rebuilt")"
drive click "$S" 1
P=$(drive waitprefix 'Report.txt (' | cut -d' ' -f2-) || fail "no stub progress"
wait_report "$P" 'Report.txt is concatinated.'
wait_prog "$PROG_PID" 30 || fail "the stub did not end"
cmp "$IN/Report.txt" "$PVX_WINE_TMP/rebuilt/Report.txt" || fail "stub rebuilt other bytes"

# --- Plain cut into a typed folder, 1.25M -----------------------------------
reg_set Settings Check REG_DWORD 0
start_tool "$(winpath "$IN/Report.txt")"
drive select "$T" 1024 1
type_destination "  $(winpath "$PVX_WINE_TMP/pieces/new")  "
drive click "$T" 40001
wait_report 'Report.txt (2,929 Kbytes)' 'Report.txt is cut into 3 files.'
wait_prog "$PROG_PID" 30 || fail "Parvex did not end after the plain cut"
OUT=$PVX_WINE_TMP/pieces/new
assert_eq 1250304 "$(size_of "$OUT/Report.c00")" "plain piece 0"
assert_eq 1250304 "$(size_of "$OUT/Report.c01")" "plain piece 1"
assert_eq $((3000000 + 284 - 2 * 1250304)) "$(size_of "$OUT/Report.c02")" "plain piece 2"
[ -e "$IN/Report.c00" ] && fail "pieces written next to the source"
assert_eq "$(winpath "$OUT")" "$(reg_value Destinations Folder1)" \
  "the typed folder remembered trimmed, without a separator"
assert_eq 0x1 "$(reg_value Settings Sel)" "Sel selects the folder just used"
assert_eq 0x1 "$(reg_value Settings Size)" "Size 1.25M kept"

# --- "Concatinate": any name of the set selects it --------------------------
start_tool "$(winpath "$OUT/Report.c01")"
assert_eq 1 "$(drive enabled "$T" 40002)" "Concatinate for a piece name"
assert_eq 1 "$(drive combosel "$T" 1028)" "the remembered folder selected at start"
drive select "$T" 1028 0                     # "(Same Folder)"
drive click "$T" 40002
wait_report 'Report.txt (2929 Kbytes)' 'Report.txt is concatinated.'
wait_prog "$PROG_PID" 30 || fail "Parvex did not end after the join"
cmp "$IN/Report.txt" "$OUT/Report.txt" || fail "joined file differs from the source"
assert_eq 0x1 "$(reg_value Settings Sel)" "a join to (Same Folder) leaves Sel"
assert_eq '' "$(reg_value Destinations Folder2)" "nothing else remembered"
echo PASS
