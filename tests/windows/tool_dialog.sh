#!/bin/bash
# Parvex.exe's main dialog under Wine: what a first start shows, which
# buttons a file name enables, dropped files, the two browsers, the message
# boxes' titles, and the settings a plain close leaves behind.
. "$(dirname "$0")/lib.sh"

# --- First start, nothing stored --------------------------------------------
start_tool
screenshot main-dialog
assert_eq '1001 enabled=1 visible=1 class=Edit ""
1005 enabled=1 visible=1 class=Button "..."
1028 enabled=1 visible=1 class=ComboBox "(Same Folder)"
1001 enabled=1 visible=1 class=Edit "(Same Folder)"
1006 enabled=1 visible=1 class=Button "..."
1024 enabled=1 visible=1 class=ComboBox "1.44M"
40001 enabled=0 visible=1 class=Button "Cut"
40002 enabled=0 visible=1 class=Button "Concatinate"
1027 enabled=0 visible=1 class=Button "SPvX..."
65535 enabled=1 visible=1 class=Static "FileName :"
65535 enabled=1 visible=1 class=Static "Destination :"
65535 enabled=1 visible=1 class=Static "Size :"
1029 enabled=1 visible=1 class=Button "Pause"' "$(drive children "$T")" \
  "controls of a first start, in tab order"
assert_eq '* (Same Folder)' "$(drive combo "$T" 1028)" "destination list"
assert_eq $'* 1.44M\n  1.25M' "$(drive combo "$T" 1024)" "size list"
assert_eq 1001 "$(drive focus "$T")" "focus on the file name"

# Typing: every key re-reads the name and sets the buttons, and the caret
# stays where the user types.
for k in a b c . c 0; do drive key "$T" "$k" || fail "key $k"; done
drive until 'abc.c0' text "$T" 1001 || fail "typed name"
assert_eq 1 "$(drive enabled "$T" 40002)" "Concatinate after typing abc.c0"

# --- Button states follow the name ------------------------------------------
# name, then Cut / SPvX... / Concatinate enabled
{
  while IFS='|' read -r name cut self concat; do
    printf 'settext "%s" 1001 "%s"\n' "$T" "$name"
    printf 'expect %s enabled "%s" 40001\n' "$cut" "$T"
    printf 'expect %s enabled "%s" 1027\n' "$self" "$T"
    printf 'expect %s enabled "%s" 40002\n' "$concat" "$T"
    printf 'expect %s enabled "%s" 1029\n' 1 "$T"
  done <<'EOF'
report.c00|1|1|1
|0|0|0
   |0|0|0
REPORT.C05|1|1|1
notes.cpp|1|1|1
C:\dir.c\report|1|1|1
report.txt|1|1|0
report.|1|1|0
report|1|1|0
  report.c00  |1|1|1
C:\dir.txt\report.Cab|1|1|1
a.c|1|1|1
EOF
} | drive_script || fail "button states"

# --- Enter presses "Cut"; the engine's message is titled with the program --
drive settext "$T" 1001 'no such file.txt'
drive key "$T" enter
expect_msgbox Parvex 'no such file.txt: ファイルが見つかりません。' '[OK]'
screenshot message-box
answer Parvex OK
assert_eq 1 "$(drive iswindowenabled "$T")" "dialog open again after a refused cut"
assert_eq 'no such file.txt' "$(drive text "$T" 1001)" "name kept"

# --- Dropped files: the first one only --------------------------------------
mkdir -p "$PVX_WINE_TMP/drop"
for f in 'first.c07' 'second.txt' 'third.txt'; do make_file "$PVX_WINE_TMP/drop/$f" 10; done
drive settext "$T" 1001 ''
drive drop "$T" "$PVX_WINE_TMP/drop/first.c07" "$PVX_WINE_TMP/drop/second.txt" \
  "$PVX_WINE_TMP/drop/third.txt" || fail "drop refused"
drive until "$(winpath "$PVX_WINE_TMP/drop/first.c07")" text "$T" 1001 ||
  fail "dropped file not taken"
drive until 1 enabled "$T" 40002 || fail "Concatinate not enabled after dropping a piece"
drive drop "$T" "$PVX_WINE_TMP/drop" || fail "drop of a folder refused"
drive until "$(winpath "$PVX_WINE_TMP/drop")" text "$T" 1001 ||
  fail "dropped folder not taken"
drive until 0 enabled "$T" 40002 || fail "Concatinate still enabled after dropping a folder"

# --- The file browser -------------------------------------------------------
make_file "$PVX_WINE_TMP/pick me.c03" 10
drive click "$T" 1005
drive wait 'Terget file' >/dev/null || fail "no file browser titled 'Terget file'"
assert_eq 'All files(*.*)' "$(drive text 'Terget file' 1136)" "file browser filter"
drive clickbutton 'Terget file' "$CANCEL"
drive gone 'Terget file' || fail "file browser still open after Cancel"
assert_eq "$(winpath "$PVX_WINE_TMP/drop")" "$(drive text "$T" 1001)" \
  "a cancelled browser changes nothing"

drive click "$T" 1005
drive wait 'Terget file' >/dev/null || fail "no file browser"
# A name that does not exist is not accepted (OFN_FILEMUSTEXIST).
drive settext 'Terget file' 1148 "$(winpath "$PVX_WINE_TMP/none.txt")"
drive clickbutton 'Terget file' '開く(&O)'
drive msgbox '' >/dev/null || fail "no warning for a missing file"
drive clickbutton '' OK
drive -t 2000 wait 'Terget file' >/dev/null || fail "browser closed on a missing file"
drive settext 'Terget file' 1148 "$(winpath "$PVX_WINE_TMP/pick me.c03")"
drive clickbutton 'Terget file' '開く(&O)'
drive gone 'Terget file' || fail "file browser still open after Open"
assert_eq "$(winpath "$PVX_WINE_TMP/pick me.c03")" "$(drive text "$T" 1001)" \
  "browsed file"
assert_eq 1 "$(drive enabled "$T" 40002)" "Concatinate after browsing a piece"

# --- The folder browser: cancelled, it changes nothing ----------------------
B='フォルダーの参照'
drive click "$T" 1006
drive wait "$B" >/dev/null || fail "no folder browser"
assert_eq 'Choose log folder...' "$(drive text "$B" 14146)" "folder browser title"
drive clickbutton "$B" "$CANCEL"
drive gone "$B" || fail "folder browser still open"
assert_eq '* (Same Folder)' "$(drive combo "$T" 1028)" "destination after a cancelled browser"

# --- Closing saves the settings ---------------------------------------------
drive click "$T" 1029                       # Pause
drive select "$T" 1024 1                    # 1.25M
drive until 1 check "$T" 1029 || fail "Pause not ticked"
end_tool
assert_eq 0x1 "$(reg_value Settings Check)" "Check after closing with Pause"
assert_eq 0x1 "$(reg_value Settings Size)" "Size after closing with 1.25M"
assert_eq 0x0 "$(reg_value Settings Sel)" "Sel after closing"
assert_eq '(Same Folder)' "$(reg_value Destinations Folder0)" "Folder0"
assert_eq '' "$(reg_value Destinations Folder1)" "no folder remembered"

# --- The settings return; the program's file name names key and titles -----
start_tool
assert_eq 1 "$(drive check "$T" 1029)" "Pause restored"
assert_eq 0 "$(drive check "$T" 1027)" "SPvX... restored"
assert_eq $'  1.44M\n* 1.25M' "$(drive combo "$T" 1024)" "size restored"
end_tool

cp "$TOOL" "$PVX_WINE_TMP/Cutter.exe"
start_prog "$PVX_WINE_TMP/Cutter.exe" 'missing.txt'
drive wait "$T" >/dev/null || fail "no dialog from Cutter.exe"
drive click "$T" 40001
expect_msgbox Cutter 'missing.txt: ファイルが見つかりません。' '[OK]'
answer Cutter OK
end_tool
assert_eq 0x0 "$(wine reg query 'HKCU\Software\Orvane products\Cutter\Settings' /v Check |
  tr -d '\r' | awk '$1 == "Check" { print $3 }')" "settings of Cutter.exe under its own name"
echo PASS
