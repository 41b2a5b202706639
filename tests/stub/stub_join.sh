#!/bin/bash
# The self-joining stub under Wine: sets cut by parvex --self-join are
# rebuilt by starting their piece 0 and pressing "&Concatinate".
#
# Environment: PVX_PARVEX (the parvex program), PVX_STUB_EXE (_sSPVX.exe,
# for the length of the stub image), and what the Wine harness reads.
. "${PVX_WINE_HARNESS:?}"

M='Parvex Self Concatinate file... (0.07)'  # the stub's dialog
case $LC_ALL in
  ja_*) CANCEL='キャンセル' BROWSE='フォルダーの参照' ;;
  *) CANCEL='Cancel' BROWSE='Browse for Folder' ;;
esac
STUB_SIZE=$(stat -c %s "$PVX_STUB_EXE")
HEADER=284

# cut_set DIR NAME BYTES PIECE: a file of pseudo-random bytes cut into a
# self-joining set in DIR; the original is kept as DIR.orig/NAME.
cut_set() {
  mkdir -p "$1" "$1.orig"
  head -c "$3" /dev/urandom >"$1.orig/$2"
  cp "$1.orig/$2" "$1/$2"
  "$PVX_PARVEX" cut --self-join --size "$4" "$1/$2" >/dev/null ||
    fail "parvex could not cut $2"
  rm "$1/$2"
}

# listing DIR: every file under DIR with its size and modification time.
listing() { find "$1" -printf '%P %s %T@\n' | sort; }

# progress_caption NAME SOURCE_BYTES: the progress window's caption once
# the output is open: the whole set's size in kilobytes.
progress_caption() {
  printf '%s (%d Kbytes)' "$1" $((($2 + STUB_SIZE + HEADER) >> 10))
}

# last_label BASE SOURCE_BYTES PIECE: the progress label while the last
# piece is copied: its name and its length in kilobytes.
last_label() {
  local total=$(($2 + STUB_SIZE + HEADER)) k
  k=$(((total - 1) / $3))
  printf '%s.c%02d (%d Kbytes)' "$1" "$k" $(((total - k * $3) >> 10))
}

# start_stub EXE: starts piece 0 and waits for its dialog.
start_stub() {
  start_prog "$1"
  drive wait "$M" >/dev/null || fail "the stub's dialog did not appear"
}

SET=$PVX_WINE_TMP/set
cut_set "$SET" report.txt 100000 40000
[ -f "$SET/_sReport.exe" ] && [ -f "$SET/_sReport.c01" ] &&
  [ -f "$SET/_sReport.c02" ] || fail "parvex wrote no self-joining set"
P=$(progress_caption report.txt 100000)

# --- Leaving without joining touches nothing ----------------------------------
before=$(listing "$PVX_WINE_TMP")
start_stub "$SET/_sReport.exe"
assert_eq "$(winpath "$SET")\\" "$(drive text "$M" 1000)" \
  "destination: the stub's own folder with its separator"
assert_eq 1000 "$(drive focus "$M")" "focus on the destination"
screenshot stub-dialog >/dev/null
drive clickbutton "$M" 'E&xit' || fail "E&xit not pressable"
wait_prog "$PROG_PID" 20 || fail "E&xit did not end the stub"
start_stub "$SET/_sReport.exe"
drive key "$M" escape || fail "Esc not taken"
wait_prog "$PROG_PID" 20 || fail "Esc did not end the stub"
start_stub "$SET/_sReport.exe"
drive close "$M" || fail "close box not taken"
wait_prog "$PROG_PID" 20 || fail "the close box did not end the stub"
assert_eq "$before" "$(listing "$PVX_WINE_TMP")" "files after leaving"

# --- The stub program alone: nothing behind its image ------------------------
# It starts like any piece 0 and refuses the join; the destination folder
# is made before that.
BARE=$PVX_WINE_TMP/bare
mkdir -p "$BARE"
cp "$PVX_STUB_EXE" "$BARE/_sSPVX.exe"
start_stub "$BARE/_sSPVX.exe"
drive settext "$M" 1000 "$(winpath "$BARE/made")" || fail "cannot type the destination"
drive clickbutton "$M" '&Concatinate' || fail "&Concatinate not pressable"
assert_eq $'_sSPVX.exeはPvXファイルではありません.\n[OK]' "$(drive msgbox _sSPVX)" \
  "the bare stub's refusal"
drive clickbutton _sSPVX OK || fail "cannot acknowledge the refusal"
drive until 1 iswindowenabled "$M" >/dev/null || fail "dialog not enabled after the refusal"
[ -d "$BARE/made" ] || fail "the destination folder was not made"
assert_eq $'_sSPVX.exe\nmade' "$(ls "$BARE")" "files after the refusal"
assert_eq '' "$(ls -A "$BARE/made")" "files in the made folder"
drive clickbutton "$M" 'E&xit' || fail "E&xit not pressable"
wait_prog "$PROG_PID" 20 || fail "E&xit did not end the stub"

# --- A join into a folder that does not exist yet -----------------------------
# Typed without its separator, two levels deep: the stub appends the "\"
# and creates both folders.
OUT=$PVX_WINE_TMP/out/deep
start_stub "$SET/_sReport.exe"
drive settext "$M" 1000 "$(winpath "$OUT")" || fail "cannot type the destination"
drive clickbutton "$M" '&Concatinate' || fail "&Concatinate not pressable"
drive until OK text "$P" 2 >/dev/null || fail "the join did not finish"
assert_eq 'report.txt is concatinated.' "$(drive text "$P" 1004)" "closing text"
assert_eq "$(last_label _sReport 100000 40000)" "$(drive text "$P" 1005)" \
  "label of the last piece"
assert_eq 0 "$(drive iswindowenabled "$M")" "dialog disabled under the progress window"
screenshot progress-done >/dev/null
cmp -s "$SET.orig/report.txt" "$OUT/report.txt" || fail "the output differs from the source"
drive click "$P" 2
wait_prog "$PROG_PID" 20 || fail "the stub did not end after OK"

# --- The output exists: Cancel keeps it, OK replaces it -----------------------
# The existing file is longer than the source, so a replacement that only
# overwrote would leave its tail behind.
head -c 150000 /dev/urandom >"$OUT/report.txt"
cp "$OUT/report.txt" "$PVX_WINE_TMP/old.txt"
start_stub "$SET/_sReport.exe"
drive settext "$M" 1000 "$(winpath "$OUT")\\" || fail "cannot type the destination"
drive clickbutton "$M" '&Concatinate' || fail "&Concatinate not pressable"
assert_eq $'report.txt はすでに存在します.上書きしますか?\n[OK] ['"$CANCEL"']' \
  "$(drive msgbox _sReport)" "overwrite question"
# Asked before the output is opened: the progress window still has its
# own caption and the label of piece 0.
assert_eq '_sReport.exe' "$(drive text 'Self concatinating...' 1005)" "label of piece 0"
screenshot overwrite-question >/dev/null
drive clickbutton _sReport "$CANCEL" || fail "cannot answer Cancel"
drive gone 'Self concatinating...' >/dev/null || fail "progress window left after Cancel"
drive until 1 iswindowenabled "$M" >/dev/null || fail "dialog not enabled after Cancel"
assert_eq "$(winpath "$OUT")\\" "$(drive text "$M" 1000)" "destination kept after Cancel"
cmp -s "$PVX_WINE_TMP/old.txt" "$OUT/report.txt" || fail "Cancel changed the existing file"
drive clickbutton "$M" '&Concatinate' || fail "&Concatinate not pressable again"
drive msgbox _sReport >/dev/null || fail "no overwrite question the second time"
drive clickbutton _sReport OK || fail "cannot answer OK"
drive until OK text "$P" 2 >/dev/null || fail "the overwriting join did not finish"
cmp -s "$SET.orig/report.txt" "$OUT/report.txt" ||
  fail "the replaced output differs from the source (size $(stat -c %s "$OUT/report.txt"))"
drive key "$P" escape || fail "Esc not taken by the progress window"
wait_prog "$PROG_PID" 20 || fail "the stub did not end after Esc on OK"

# --- A missing piece: reported, the dialog stays for another try --------------
OUT2=$PVX_WINE_TMP/out2
mv "$SET/_sReport.c02" "$PVX_WINE_TMP/"
start_stub "$SET/_sReport.exe"
drive settext "$M" 1000 "$(winpath "$OUT2")" || fail "cannot type the destination"
drive clickbutton "$M" '&Concatinate' || fail "&Concatinate not pressable"
box=$(drive msgbox _sReport) || fail "no message about the missing piece"
case $box in
  "$(winpath "$SET")\\_sReport.c02: "?*$'\n[OK]') ;;
  *) fail "message about the missing piece: [$box]" ;;
esac
screenshot missing-piece >/dev/null
drive clickbutton _sReport OK || fail "cannot acknowledge the message"
drive until 1 iswindowenabled "$M" >/dev/null || fail "dialog not enabled after the failure"
assert_eq "$(winpath "$OUT2")" "$(drive text "$M" 1000)" "destination kept after the failure"
prog_running || fail "the stub ended after a failed join"
# What was written stays: the data of pieces 0 and 1.
assert_eq $((40000 - STUB_SIZE - HEADER + 40000)) "$(stat -c %s "$OUT2/report.txt")" \
  "length of the partial output"
mv "$PVX_WINE_TMP/_sReport.c02" "$SET/"
drive clickbutton "$M" '&Concatinate' || fail "&Concatinate not pressable after the failure"
drive clickbutton _sReport OK || fail "no overwrite question for the partial output"
drive until OK text "$P" 2 >/dev/null || fail "the second try did not finish"
cmp -s "$SET.orig/report.txt" "$OUT2/report.txt" || fail "the second try's output differs"
drive click "$P" 2
wait_prog "$PROG_PID" 20 || fail "the stub did not end after OK"

# --- The folder browser ------------------------------------------------------
# Cancel keeps what was typed; OK puts the chosen folder (the desktop, where
# the browser starts) into the edit, without a separator. (No join there:
# Wine's desktop folder is the user's real one.)
start_stub "$SET/_sReport.exe"
drive settext "$M" 1000 'typed, not a folder' || fail "cannot type the destination"
drive click "$M" 1001
assert_eq 'Choose the destination...' "$(drive text "$BROWSE" 14146)" "browser title"
drive clickbutton "$BROWSE" "$CANCEL" || fail "cannot cancel the browser"
drive gone "$BROWSE" >/dev/null || fail "the browser stayed"
assert_eq 'typed, not a folder' "$(drive text "$M" 1000)" "text after a cancelled browse"
drive click "$M" 1001
drive clickbutton "$BROWSE" OK || fail "cannot confirm the browser"
drive gone "$BROWSE" >/dev/null || fail "the browser stayed"
chosen=$(drive text "$M" 1000)
case $chosen in
  'C:\'*[!\\]) ;;
  *) fail "browsed destination: [$chosen]" ;;
esac
drive clickbutton "$M" 'E&xit' || fail "E&xit not pressable"
wait_prog "$PROG_PID" 20 || fail "E&xit did not end the stub"

# --- Names in code page 932 whose second bytes are "\" ------------------------
# 表 is 0x95 0x5C and ソ is 0x83 0x5C: a byte-wise search for "\" would cut
# the name apart.
JA=$PVX_WINE_TMP/表ソ
cut_set "$JA" '表ソ.txt' 70000 40000
[ -f "$JA/_s表ソ.exe" ] && [ -f "$JA/_s表ソ.c01" ] || fail "no set for 表ソ.txt"
start_stub "$JA/_s表ソ.exe"
assert_eq "$(winpath "$JA")\\" "$(drive text "$M" 1000)" "destination of the 表ソ set"
drive clickbutton "$M" '&Concatinate' || fail "&Concatinate not pressable"
PJ=$(progress_caption '表ソ.txt' 70000)
drive until OK text "$PJ" 2 >/dev/null || fail "the 表ソ join did not finish"
assert_eq '表ソ.txt is concatinated.' "$(drive text "$PJ" 1004)" "closing text of the 表ソ join"
assert_eq "$(last_label _s表ソ 70000 40000)" "$(drive text "$PJ" 1005)" \
  "label of the last 表ソ piece"
screenshot cp932-name >/dev/null
cmp -s "$JA.orig/表ソ.txt" "$JA/表ソ.txt" || fail "表ソ.txt was not rebuilt"
drive click "$PJ" 2
wait_prog "$PROG_PID" 20 || fail "the stub did not end after OK"

# --- A name without a code page 932 form -------------------------------------
# "ä" has none: the header's FileName holds the stand-in Pr_sentation.mp4,
# its record the exact name, which the output takes.
DE=$PVX_WINE_TMP/praesentation
cut_set "$DE" 'Präsentation.mp4' 100000 40000
[ -f "$DE/_sPräsentation.exe" ] && [ -f "$DE/_sPräsentation.c02" ] ||
  fail "no set for Präsentation.mp4"
start_stub "$DE/_sPräsentation.exe"
drive clickbutton "$M" '&Concatinate' || fail "&Concatinate not pressable"
PD=$(progress_caption 'Präsentation.mp4' 100000)
drive until OK text "$PD" 2 >/dev/null || fail "the Präsentation.mp4 join did not finish"
assert_eq 'Präsentation.mp4 is concatinated.' "$(drive text "$PD" 1004)" \
  "closing text of the Präsentation.mp4 join"
cmp -s "$DE.orig/Präsentation.mp4" "$DE/Präsentation.mp4" ||
  fail "Präsentation.mp4 was not rebuilt byte for byte"
[ -e "$DE/Pr_sentation.mp4" ] && fail "the output took the stand-in name"
drive click "$PD" 2
wait_prog "$PROG_PID" 20 || fail "the stub did not end after OK"
echo "stub joins: ok"
