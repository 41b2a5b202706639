#!/bin/bash
# "&Concatinate" of a self-joining piece 0 never empties a file it reads
# (a piece after it, or the running program's own file), and never writes
# under a name that Windows takes for a device or trims to another name.
#
# Environment: PVX_PARVEX (cuts the sets), PVX_STUB_EXE (_sSPVX.exe, which
# heads the crafted piece 0), and what the Wine harness reads.
. "${PVX_WINE_HARNESS:?}"
. "$(dirname "$PVX_WINE_HARNESS")/crafted_sets.sh"

M='Parvex Self Concatinate file... (0.07)'  # the stub's dialog
B=_sEvil                                   # its message boxes' title
case $LC_ALL in
  ja_*) CANCEL='キャンセル' ;;
  *) CANCEL='Cancel' ;;
esac
SET=$PVX_WINE_TMP/set
# Pieces: _sEvil.exe (the stub, then 40000 bytes), _sEvil.c01, _sEvil.c02.
BYTES=100000
PIECE=40000

# join_set: starts the set's piece 0 and presses "&Concatinate", the output
# going to its own folder (the destination it shows at start).
join_set() {
  start_prog "$SET/_sEvil.exe"
  drive wait "$M" >/dev/null || fail "the stub's dialog did not appear"
  drive clickbutton "$M" '&Concatinate' || fail "&Concatinate not pressable"
}

# refused TEXT [SHOT]: the refusal TEXT (a screenshot SHOT of it), OK, the
# dialog back for another try, then E&xit ends the program.
refused() {
  local got
  got=$(drive msgbox "$B") || fail "no message box (expected: $1)"
  assert_eq "$1"$'\n[OK]' "$got" "message box"
  [ -n "${2:-}" ] && screenshot "$2" >/dev/null
  drive clickbutton "$B" OK || fail "cannot acknowledge the refusal"
  drive until 1 iswindowenabled "$M" >/dev/null || fail "dialog not back after the refusal"
  drive clickbutton "$M" 'E&xit' || fail "E&xit not pressable"
  wait_prog "$PROG_PID" 20 || fail "E&xit did not end the stub"
}

# --- The header names a piece after it, or the stub's own file ----------------
# The overwrite question comes first (the name exists); OK must not empty it.
for name in _sEvil.c01 _sEvil.c02 _SEVIL.C01 _sEvil.exe; do
  self_set "$SET" $BYTES $PIECE "$name"
  before=$(fingerprint "$SET")
  join_set
  got=$(drive msgbox "$B") || fail "no overwrite question for $name"
  assert_eq "$name はすでに存在します.上書きしますか?"$'\n'"[OK] [$CANCEL]" "$got" \
    "overwrite question"
  drive clickbutton "$B" OK || fail "cannot answer OK"
  refused "$(winpath "$SET")\\$name: 処理中の入力ファイルです. 上書きできません." \
    "refused-$name"
  assert_eq "$before" "$(fingerprint "$SET")" "the set after a join naming $name"
done

# --- Names Windows takes for a device or trims --------------------------------
# Refused before any question, nothing created; _sEvil.c01. would be trimmed
# to the stub's next piece.
for name in NUL con.txt COM1.log report.c01. _sEvil.c01. 'Aux .log'; do
  self_set "$SET" $BYTES $PIECE "$name"
  before=$(fingerprint "$SET")
  join_set
  refused "_sEvil.exe: ヘッダのファイル名 \"$name\" は使えません." "refused-$name"
  assert_eq "$before" "$(fingerprint "$SET")" "the set after a join naming $name"
done
echo PASS
