#!/bin/bash
# Paths written with "/" as the folder separator, as Windows takes them: a
# file name and a destination typed that way cut into that folder, the
# destination is remembered with "\", and a piece name typed that way joins;
# a name on the command line with "/" shows with "\".
. "$(dirname "$0")/lib.sh"

# slashed UNIXPATH: the Windows form of the path with "/" between folders.
slashed() { winpath "$1" | tr '\\' '/'; }

wait_report() {
  drive until "$2" text "$1" 1004 || fail "no report \"$2\" in \"$1\""
  drive click "$1" 2 || fail "cannot press OK in $1"
}

IN=$PVX_WINE_TMP/in
OUT=$PVX_WINE_TMP/out/sub
mkdir -p "$IN"
make_file "$IN/Slash.txt" 3000000

# --- Cut: name and destination typed with "/" --------------------------------
start_tool
drive settext "$T" 1001 "$(slashed "$IN/Slash.txt")"
drive until 1 enabled "$T" 40001 || fail "Cut not enabled by a slashed name"
type_destination "$(slashed "$OUT")/"
drive click "$T" 40001
wait_report 'Slash.txt (2,929 Kbytes)' 'Slash.txt is cut into 3 files.'
wait_prog "$PROG_PID" 30 || fail "Parvex did not end after the cut"
assert_eq 1457664 "$(size_of "$OUT/Slash.c00")" "piece 0 in the slashed folder"
assert_eq 1457664 "$(size_of "$OUT/Slash.c01")" "piece 1"
assert_eq $((3000000 + 284 - 2 * 1457664)) "$(size_of "$OUT/Slash.c02")" "piece 2"
assert_eq "$(winpath "$OUT")\\" "$(reg_value Destinations Folder1)" \
  "the destination remembered with \"\\\""

# --- Join: a piece name typed with "/" ----------------------------------------
start_tool
drive settext "$T" 1001 "$(slashed "$OUT/Slash.c00")"
drive until 1 enabled "$T" 40002 || fail "Concatinate not enabled by a slashed name"
drive select "$T" 1028 0                     # "(Same Folder)"
drive click "$T" 40002
wait_report 'Slash.txt (2929 Kbytes)' 'Slash.txt is concatinated.'
wait_prog "$PROG_PID" 30 || fail "Parvex did not end after the join"
cmp "$IN/Slash.txt" "$OUT/Slash.txt" || fail "joined file differs from the source"

# --- Command line: "/" shows as "\" -------------------------------------------
start_tool "$(slashed "$IN/Slash.txt")"
assert_eq "$(winpath "$IN/Slash.txt")" "$(drive text "$T" 1001)" \
  "command line name with \"\\\""
end_tool
echo PASS
