#!/bin/bash
# Where the windows of both programs open under Wine: the main dialog and the
# stub's dialog centred on the work area, every progress window centred over
# the dialog it disables, and a progress window over a dialog at the edge of
# the screen kept inside the work area.
. "$(dirname "$0")/lib.sh"

SLACK=3  # pixels: frames and rounding of dialog units

# rect_of TITLE: "left top right bottom" of the window.
rect_of() { drive rect "$1" || fail "no rectangle for $1"; }

# assert_centred WHAT "RECT" "OVER": the centre of RECT lies within SLACK
# pixels of the centre of OVER.
assert_centred() {
  local l t r b L T R B
  read -r l t r b <<<"$2"
  read -r L T R B <<<"$3"
  local dx=$(((l + r) - (L + R))) dy=$(((t + b) - (T + B)))
  # Twice the offset of the centres.
  if ((dx < -2 * SLACK || dx > 2 * SLACK || dy < -2 * SLACK || dy > 2 * SLACK)); then
    fail "$1: window at $2 is not centred over $3"
  fi
}

# assert_inside WHAT "RECT" "AREA": RECT lies wholly inside AREA.
assert_inside() {
  local l t r b L T R B
  read -r l t r b <<<"$2"
  read -r L T R B <<<"$3"
  ((l >= L && t >= T && r <= R && b <= B)) ||
    fail "$1: window at $2 sticks out of the work area $3"
}

# wait_done CAPTION TEXT: waits for the progress window's closing report.
wait_done() {
  drive until "$2" text "$1" 1004 || fail "no report \"$2\" in \"$1\""
}

IN=$PVX_WINE_TMP/in
mkdir -p "$IN"
make_file "$IN/Big.txt" 3000000
AREA=$(drive workarea) || fail "no work area"
read -r AL AT AR AB <<<"$AREA"
P='Big.txt (2,929 Kbytes)'

# --- The tool: the main dialog, then its progress window over it ------------
reg_set Settings Check REG_DWORD 2          # self-joining, no pause
start_tool "$(winpath "$IN/Big.txt")"
MAIN=$(rect_of "$T")
assert_centred "main dialog" "$MAIN" "$AREA"
screenshot main-dialog
drive click "$T" 40001
wait_done "$P" 'Big.txt is cut into 3 files.'
assert_centred "progress window of the cut" "$(rect_of "$P")" "$MAIN"
assert_inside "progress window of the cut" "$(rect_of "$P")" "$AREA"
screenshot tool-progress
drive click "$P" 2
wait_prog "$PROG_PID" 30 || fail "Parvex did not end after the cut"

# --- The stub: its dialog, then its progress window over it -----------------
start_prog "$IN/_sBig.exe"
S=$(drive waitprefix 'Parvex Self' | cut -d' ' -f2-) || fail "no stub dialog"
STUB=$(rect_of "$S")
assert_centred "stub's dialog" "$STUB" "$AREA"
screenshot stub-dialog
mkdir -p "$PVX_WINE_TMP/rebuilt"
drive settext "$S" 1000 "$(winpath "$PVX_WINE_TMP/rebuilt")"
drive click "$S" 1
SP=$(drive waitprefix 'Big.txt (' | cut -d' ' -f2-) || fail "no stub progress"
wait_done "$SP" 'Big.txt is concatinated.'
assert_centred "progress window of the stub" "$(rect_of "$SP")" "$STUB"
screenshot stub-progress
drive click "$SP" 2
wait_prog "$PROG_PID" 30 || fail "the stub did not end"
cmp -s "$IN/Big.txt" "$PVX_WINE_TMP/rebuilt/Big.txt" || fail "stub rebuilt other bytes"

# --- A dialog moved to the corner: its progress window stays on the screen --
rm -f "$IN"/Big.c0? "$IN"/_sBig.*
reg_set Settings Check REG_DWORD 0
start_tool "$(winpath "$IN/Big.txt")"
read -r l t r b <<<"$(rect_of "$T")"
drive move "$T" $((AR - 2 * (r - l) / 3)) $((AB - 2 * (b - t) / 3)) || fail "cannot move the dialog"
drive click "$T" 40001
wait_done "$P" 'Big.txt is cut into 3 files.'
read -r pl pt pr pb <<<"$(rect_of "$P")"
assert_inside "progress window over a dialog in the corner" "$pl $pt $pr $pb" "$AREA"
assert_eq "$AR $AB" "$pr $pb" "progress window pushed against the corner"
screenshot corner-progress
drive click "$P" 2
wait_prog "$PROG_PID" 30 || fail "Parvex did not end after the second cut"
echo PASS
