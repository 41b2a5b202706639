#!/bin/bash
# The Wine test tools tested on their own: testapp.exe is driven through
# every pvxdrive command, and each answer is checked against what the
# program really did.
. "$(dirname "$0")/harness.sh"

APP=$PVX_WINE_BIN/testapp.exe
T='pvxdrive テスト'
case $LC_ALL in
  ja_*) CANCEL='キャンセル' ;;
  *) CANCEL='Cancel' ;;
esac

start_prog "$APP"
drive wait "$T" >/dev/null || fail "the test program's window did not appear"

# --- Reading what the dialog shows ------------------------------------------
assert_eq "" "$(drive text "$T" 1000)" "empty edit"
assert_eq "テスト 表示" "$(drive text "$T" 1005)" "Japanese static"
assert_eq "(Same Folder)" "$(drive text "$T" 1008)" "text of a drop-down combo box"
# 1001 is both a push button and the edit inside combo box 1008: the
# dialog's own control wins.
assert_eq "表示(&S)" "$(drive text "$T" 1001)" "direct child before nested control"
assert_eq 0 "$(drive enabled "$T" 1006)" "disabled button"
assert_eq 1 "$(drive enabled "$T" 1007)" "enabled button"
assert_eq 1 "$(drive iswindowenabled "$T")" "main window enabled"
assert_eq 0 "$(drive check "$T" 1002)" "check box initially clear"
assert_eq $'* 1.44M\n  1.25M' "$(drive combo "$T" 1003)" "size list"
assert_eq $'* (Same Folder)\n  C:\\保存先' "$(drive combo "$T" 1008)" "destination list"
assert_eq 0 "$(drive combosel "$T" 1003)" "size selection"
assert_eq 1000 "$(drive focus "$T")" "focus on the first tab stop"
assert_eq "$T" "$(drive caption 'pvxdrive ')" "caption by prefix"
drive waitprefix 'pvxdrive' | grep -q "^0x[0-9a-f]\{8\} $T\$" || fail "waitprefix output"
drive list | grep -qF "class=#32770 \"$T\"" || fail "list does not show the dialog"
drive children "$T" | grep -qx '1006 enabled=0 visible=1 class=Button "Disabled"' ||
  fail "children does not describe button 1006"

# --- Refusals and failures ---------------------------------------------------
drive click "$T" 1006 2>/dev/null && fail "a click on a disabled button was accepted"
drive -t 0 text "$T" 4242 2>/dev/null && fail "a missing control was read"
start=$(date +%s%N)
drive wait 'no such window' 300 2>/dev/null
rc=$?
assert_eq 1 "$rc" "wait for a missing window"
ms=$((($(date +%s%N) - start) / 1000000))
[ "$ms" -lt 10000 ] || fail "wait with 300 ms took $ms ms"
drive text "$T" >/dev/null 2>&1
assert_eq 2 "$?" "missing argument"
drive frobnicate >/dev/null 2>&1
assert_eq 2 "$?" "unknown command"
drive select "$T" 1003 7 2>/dev/null && fail "selecting a missing item was accepted"
drive expect wrong text "$T" 1005 2>/dev/null && fail "expect accepted a wrong text"
drive expect "テスト 表示" text "$T" 1005 || fail "expect rejected the right text"

# --- Typing, selecting, ticking ----------------------------------------------
drive settext "$T" 1000 'C:\データ\report.txt' || fail "settext"
assert_eq 'C:\データ\report.txt' "$(drive text "$T" 1000)" "edit after settext"
assert_eq 'echo:C:\データ\report.txt' "$(drive text "$T" 1009)" "EN_UPDATE seen by the dialog"
drive settext "$T" 1008 'D:\out' || fail "settext on a drop-down combo box"
assert_eq 'D:\out' "$(drive text "$T" 1008)" "combo box edit after settext"

drive select "$T" 1003 1 || fail "select"
drive until size=1 text "$T" 1004 || fail "CBN_SELCHANGE not seen by the dialog"
assert_eq $'  1.44M\n* 1.25M' "$(drive combo "$T" 1003)" "size list after select"

drive click "$T" 1002 || fail "click on the check box"
drive until 1 check "$T" 1002 || fail "check box not ticked by a click"

# --- A message box titled like the dialog -------------------------------------
drive clickbutton "$T" '表示(S)' || fail "clickbutton by text without the mnemonic mark"
assert_eq "テスト 表示"$'\n'"[OK] [$CANCEL]" "$(drive msgbox "$T")" "message box"
assert_eq 2 "$(drive list | grep -cF "\"$T\"")" "two windows with one caption"
# Control lookups find the dialog under the message box; plain window
# lookups take the message box (topmost enabled); -n picks by position.
assert_eq "テスト 表示" "$(drive text "$T" 1005)" "dialog control under the message box"
assert_eq 1 "$(drive iswindowenabled "$T")" "topmost enabled window"
assert_eq 0 "$(drive -n 1 iswindowenabled "$T")" "dialog disabled by the message box"
drive settext "$T" 1000 x 2>/dev/null && fail "typed into a dialog disabled by a message box"
screenshot messagebox >/dev/null
drive key "$T" escape || fail "key escape"
drive until result=2 text "$T" 1004 || fail "Esc did not cancel the message box"
drive clickbutton "$T" '表示(&S)' || fail "clickbutton by exact text"
drive msgbox "$T" >/dev/null || fail "second message box"
drive clickbutton "$T" OK || fail "clickbutton OK"
drive until result=1 text "$T" 1004 || fail "OK did not answer the message box"

# --- A long operation behind a progress window ---------------------------------
start=$(date +%s%N)
drive click "$T" 1007 || fail "click on Long"
drive wait '作業中' >/dev/null || fail "progress window did not appear"
ms=$((($(date +%s%N) - start) / 1000000))
[ "$ms" -lt 15000 ] || fail "click blocked for $ms ms"
assert_eq 0 "$(drive iswindowenabled "$T")" "main window disabled while working"
drive click "$T" 1001 2>/dev/null && fail "clicked into a disabled main window"
drive until 3% text '作業中' 1004 || fail "progress did not advance"
screenshot progress >/dev/null
drive key '作業中' esc || fail "key esc on the progress window"
drive gone '作業中' 5000 || fail "progress window still there after Esc"
drive until long=cancelled text "$T" 1004 || fail "long operation not cancelled"
assert_eq 1 "$(drive iswindowenabled "$T")" "main window enabled again"

# --- Dropped files -------------------------------------------------------------
mkdir -p "$PVX_WINE_TMP/in dir"
: >"$PVX_WINE_TMP/in dir/a b.txt"
drive drop "$T" "$PVX_WINE_TMP/in dir/a b.txt" 'C:\second.c00' || fail "drop"
drive until drop=2 text "$T" 1004 || fail "WM_DROPFILES not seen by the dialog"
assert_eq "$(winpath "$PVX_WINE_TMP/in dir/a b.txt")" "$(drive text "$T" 1000)" "first dropped path"
case $(winpath "$PVX_WINE_TMP/in dir/a b.txt") in Z:\\*) ;; *) fail "winpath" ;; esac
assert_eq 'C:\x\y' "$(winpath "$WINE_C/x/y")" "winpath on drive C:"

# --- Script mode ----------------------------------------------------------------
out=$(drive_script <<EOF
# comments and blank lines are skipped

expect 1 check "$T" 1002
select "$T" 1003 0
until size=0 text "$T" 1004
echo script done
EOF
) || fail "script failed"
assert_eq "script done" "$out" "script output"
printf 'echo one\nexpect 0 enabled "%s" 1007\necho two\n' "$T" >"$PVX_WINE_TMP/s.txt"
out=$(drive_script "$PVX_WINE_TMP/s.txt" 2>/dev/null)
assert_eq 1 "$?" "failing script status"
assert_eq one "$out" "a script stops at its first failure"

screenshot testapp >/dev/null

# --- Ending the program: Enter, the close box, a mnemonic ------------------------
drive key "$T" enter || fail "key enter"
wait_prog "$PROG_PID" 10
assert_eq 10 "$?" "Enter pressed the default button OK"
drive gone "$T" 5000 || fail "window still there after OK"

start_prog "$APP"
drive close "$T" || fail "close"
wait_prog "$PROG_PID" 10
assert_eq 20 "$?" "close box cancelled the dialog"

start_prog "$APP"
drive wait "$T" >/dev/null || fail "third start"
drive key "$T" alt+x || fail "key alt+x"
wait_prog "$PROG_PID" 10
assert_eq 20 "$?" "mnemonic of E&xit"

echo "PASS: pvxdrive self-test (harness start ${PVX_HARNESS_START_MS} ms)"
