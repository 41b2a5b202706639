#!/bin/bash
# The file named on Parvex.exe's command line under Wine: the first
# argument that is not a switch, with its last component as the file system
# stores it; a name that matches nothing is kept as typed.
. "$(dirname "$0")/lib.sh"

mkdir -p "$PVX_WINE_TMP/in/sub dir"
make_file "$PVX_WINE_TMP/in/Mixed Case.Txt" 10
make_file "$PVX_WINE_TMP/in/sub dir/only.c00" 10
IN=$(winpath "$PVX_WINE_TMP/in")
cd "$PVX_WINE_TMP/in" || fail "no folder"   # the programs' current folder

# field ARGS... -> the file name field after starting with ARGS
field() {
  start_tool "$@"
  drive text "$T" 1001
  end_tool
}

assert_eq "$IN\\Mixed Case.Txt" "$(field "$IN\\MIXED CASE.TXT")" "stored case"
assert_eq 'Mixed Case.Txt' "$(field 'mixed case.txt')" \
  "a bare name found in the current folder"
assert_eq "$IN\\sub dir\\only.c00" "$(field "$IN\\sub dir\\*.c00")" \
  "a pattern gives its first match"
assert_eq "$IN\\Mixed Case.Txt" "$(field /p -x "$IN\\mixed case.txt" "$IN\\sub dir\\only.c00")" \
  "switches and a second name ignored"
# "/" separates folders for Windows too: the folder part stays.
assert_eq "$IN\\Mixed Case.Txt" "$(field "${IN//\\//}/mixed case.txt")" \
  "a path written with /"
assert_eq 'Z:\no such\file.txt' "$(field 'Z:\no such\file.txt')" \
  "a name that matches nothing, kept as typed"

start_tool /p -q
assert_eq '' "$(drive text "$T" 1001)" "only switches: no name"
assert_eq 0 "$(drive enabled "$T" 40001)" "Cut disabled without a name"
end_tool
echo PASS
