#!/bin/bash
# The destination history and the stored choices across runs of Parvex.exe
# under Wine, read back with `wine reg query`. Operations on a file too
# small to cut (and on a missing piece set) are refused by the engines, so
# each leaves the dialog open and saves the list at once.
. "$(dirname "$0")/lib.sh"

D='C:\hist'
make_file "$PVX_WINE_TMP/small.txt" 100
SMALL=$(winpath "$PVX_WINE_TMP/small.txt")
REFUSED=$'small.txtは 0 KBです.\n分割する必要はありません.'

# folders: Folder1 .. Folder7 as stored, one a line.
folders() {
  local k
  for k in 1 2 3 4 5 6 7; do reg_value Destinations Folder$k; done
}
list_of() { printf '%s\n' "$@"; }

# refused_cut: "Cut" on the small file, its message answered.
refused_cut() {
  drive click "$T" 40001
  expect_msgbox Parvex "$REFUSED" '[OK]'
  answer Parvex OK
  drive until 1 iswindowenabled "$T" || fail "dialog not back after the refusal"
}

for k in 1 2 3 4 5 6 7; do reg_set Destinations Folder$k REG_SZ "$D\\d$k"; done
reg_set Settings Sel REG_DWORD 3
reg_set Settings Size REG_DWORD 1
reg_set Settings Check REG_DWORD 3

# --- Run 1 -------------------------------------------------------------------
start_tool "$SMALL"
assert_eq "  (Same Folder)
  $D\\d1
  $D\\d2
* $D\\d3
  $D\\d4
  $D\\d5
  $D\\d6
  $D\\d7" "$(drive combo "$T" 1028)" "list and selection from the store"
assert_eq $'  1.44M\n* 1.25M' "$(drive combo "$T" 1024)" "size from the store"
assert_eq 1 "$(drive check "$T" 1027)" "SPvX... from Check=3"
assert_eq 1 "$(drive check "$T" 1029)" "Pause from Check=3"
drive click "$T" 1029                                 # Pause off for the rest
drive until 0 check "$T" 1029 || fail "Pause not cleared"

# Writing the fields into the controls picks the first entry that begins
# with the destination text, ignoring case; other texts stay as typed.
type_destination 'c:\HIST\D'
drive settext "$T" 1001 "$SMALL"
assert_eq "$D\\d1" "$(drive text "$T" 1028)" "destination completed from the list"
assert_eq 1 "$(drive combosel "$T" 1028)" "completed entry selected"
type_destination 'Q:\elsewhere'
drive settext "$T" 1001 "$SMALL"
assert_eq 'Q:\elsewhere' "$(drive text "$T" 1028)" "destination kept as typed"
assert_eq -1 "$(drive combosel "$T" 1028)" "no entry selected for a new folder"

# A folder of the list used again moves to the end.
drive select "$T" 1028 3
refused_cut
assert_eq "$(list_of "$D\\d1" "$D\\d2" "$D\\d4" "$D\\d5" "$D\\d6" "$D\\d7" "$D\\d3")" \
  "$(folders)" "history after reusing d3"
assert_eq '(Same Folder)' "$(reg_value Destinations Folder0)" "Folder0"

# A new folder with seven remembered evicts the oldest.
type_destination " $D\\new1 "
refused_cut
assert_eq "$(list_of "$D\\d2" "$D\\d4" "$D\\d5" "$D\\d6" "$D\\d7" "$D\\d3" "$D\\new1")" \
  "$(folders)" "history after a new folder"

# A join moves its folder too, but leaves the remembered selection.
drive settext "$T" 1001 "$(winpath "$PVX_WINE_TMP/none.c00")"
drive select "$T" 1028 3                              # d5
drive click "$T" 40002
drive msgbox Parvex >/dev/null || fail "no message for the missing piece set"
answer Parvex OK
drive until 1 iswindowenabled "$T" || fail "dialog not back after the join"
assert_eq "$(list_of "$D\\d2" "$D\\d4" "$D\\d6" "$D\\d7" "$D\\d3" "$D\\new1" "$D\\d5")" \
  "$(folders)" "history after a join"
end_tool
assert_eq 0x7 "$(reg_value Settings Sel)" "Sel from the last cut, not from the join"
assert_eq 0x2 "$(reg_value Settings Check)" "Check: SPvX... kept, Pause cleared"
assert_eq 0x1 "$(reg_value Settings Size)" "Size kept"

# --- Run 2: the saved list and selection come back --------------------------
start_tool "$SMALL"
assert_eq "  (Same Folder)
  $D\\d2
  $D\\d4
  $D\\d6
  $D\\d7
  $D\\d3
  $D\\new1
* $D\\d5" "$(drive combo "$T" 1028)" "list and selection in the next run"
# "(Same Folder)" changes neither the list nor the selection.
drive select "$T" 1028 0
refused_cut
assert_eq "$(list_of "$D\\d2" "$D\\d4" "$D\\d6" "$D\\d7" "$D\\d3" "$D\\new1" "$D\\d5")" \
  "$(folders)" "history after a cut to (Same Folder)"
# The same folder in other case replaces the remembered one.
type_destination 'C:\HIST\NEW1'
refused_cut
assert_eq "$(list_of "$D\\d2" "$D\\d4" "$D\\d6" "$D\\d7" "$D\\d3" "$D\\d5" 'C:\HIST\NEW1')" \
  "$(folders)" "history after the same folder in other case"
end_tool
assert_eq 0x7 "$(reg_value Settings Sel)" "Sel after the cut in run 2"

# --- Run 3: a join into a new folder keeps the stored selection -----------
wine reg delete "$KEY\\Destinations" /f >/dev/null 2>&1
reg_set Destinations Folder1 REG_SZ "$D\\a"
reg_set Destinations Folder2 REG_SZ "$D\\b"
reg_set Settings Sel REG_DWORD 1
start_tool "$(winpath "$PVX_WINE_TMP/none.c00")"
assert_eq 1 "$(drive combosel "$T" 1028)" "Sel=1 selects the first folder"
type_destination "$D\\joined"
drive click "$T" 40002
drive msgbox Parvex >/dev/null || fail "no message for the missing piece set"
answer Parvex OK
drive until 1 iswindowenabled "$T" || fail "dialog not back after the join"
end_tool
assert_eq "$(list_of "$D\\a" "$D\\b" "$D\\joined" '' '' '' '')" "$(folders)" \
  "history after a join into a new folder"
assert_eq 0x1 "$(reg_value Settings Sel)" "Sel after a join into a new folder"

# --- Run 4: stored choices outside the lists --------------------------------
reg_set Settings Sel REG_DWORD 12
reg_set Settings Size REG_DWORD 5
make_file "$PVX_WINE_TMP/mid.txt" 1300000
start_tool "$(winpath "$PVX_WINE_TMP/mid.txt")"
assert_eq -1 "$(drive combosel "$T" 1028)" "no destination selected for Sel=12"
assert_eq '' "$(drive text "$T" 1028)" "empty destination for Sel=12"
assert_eq -1 "$(drive combosel "$T" 1024)" "no size selected for Size=5"
# Without a size the cut takes 1.44M: 1,300,000 bytes need no cutting then.
drive click "$T" 40001
expect_msgbox Parvex $'mid.txtは 1,269 KBです.\n分割する必要はありません.' '[OK]'
answer Parvex OK
ls "$PVX_WINE_TMP" | grep -q '^mid\.c' && fail "pieces written without a size"
end_tool

# --- Run 5: the same folder in other case, as the system compares ----------
# Turkish, Polish, Cyrillic and full-width letters match in other case; kana
# against katakana, full width against ASCII, and a letter against the same
# letter with an accent do not.
# combo_folders: the destination list after the fixed entry, one a line.
combo_folders() { drive combo "$T" 1028 | sed -n '2,$s/^..//p'; }
wine reg delete "$KEY\\Destinations" /f >/dev/null 2>&1
k=1
for f in 'Ağaç' 'Şeker' 'Łódź' 'Ölçüm' 'док' 'ｄａｔａ'; do
  reg_set Destinations Folder$k REG_SZ "$D\\$f"
  k=$((k + 1))
done
reg_set Settings Sel REG_DWORD 0
start_tool "$SMALL"
assert_eq "$(list_of "$D\\Ağaç" "$D\\Şeker" "$D\\Łódź" "$D\\Ölçüm" "$D\\док" "$D\\ｄａｔａ")" \
  "$(combo_folders)" "folders with letters beyond ASCII from the store"
for f in 'c:\HIST\AĞAÇ' 'C:\hist\şEKER' 'C:\HIST\ŁÓDŹ' 'c:\hist\ÖLÇÜM' \
         'C:\HIST\ДОК' 'C:\hist\ＤＡＴＡ'; do
  type_destination "$f"
  refused_cut
done
assert_eq "$(list_of 'c:\HIST\AĞAÇ' 'C:\hist\şEKER' 'C:\HIST\ŁÓDŹ' 'c:\hist\ÖLÇÜM' \
                     'C:\HIST\ДОК' 'C:\hist\ＤＡＴＡ')" \
  "$(combo_folders)" "each folder replaced by its other-case form"
end_tool

wine reg delete "$KEY\\Destinations" /f >/dev/null 2>&1
reg_set Destinations Folder1 REG_SZ "$D\\かな"
reg_set Destinations Folder2 REG_SZ "$D\\AB"
reg_set Destinations Folder3 REG_SZ "$D\\Agac"
start_tool "$SMALL"
for f in "$D\\カナ" "$D\\ＡＢ" "$D\\Ağaç" '(same folder)'; do
  type_destination "$f"
  refused_cut
done
assert_eq "$(list_of "$D\\かな" "$D\\AB" "$D\\Agac" "$D\\カナ" "$D\\ＡＢ" "$D\\Ağaç" \
                     '(same folder)')" \
  "$(combo_folders)" "kana, width and accents are not case; the fixed entry stays"
assert_eq '(Same Folder)' "$(drive combo "$T" 1028 | sed -n '1s/^..//p')" \
  "the fixed entry first"
end_tool
echo PASS
