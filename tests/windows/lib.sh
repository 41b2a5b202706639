# Helpers for the Wine tests of Parvex.exe; sourced by each test after the
# Wine harness:
#
#   . "$(dirname "$0")/lib.sh"
#
# Environment read: PVX_TOOL_EXE (the built Parvex.exe), PVX_WINE_HARNESS
# (tests/wine/harness.sh).

if [ -z "${PVX_TOOL_EXE:-}" ] || [ ! -f "$PVX_TOOL_EXE" ]; then
  printf 'no Parvex.exe at "%s" (build the Windows programs first)\n' \
    "${PVX_TOOL_EXE:-}" >&2
  exit 1
fi
. "${PVX_WINE_HARNESS:-$(dirname "${BASH_SOURCE[0]}")/../wine/harness.sh}"

T='Parvex ver.2.10e'        # the main dialog's caption
TOOL=$PVX_WINE_TMP/Parvex.exe  # the program file decides the settings key
cp "$PVX_TOOL_EXE" "$TOOL"
KEY='HKCU\Software\Orvane products\Parvex'
case $LC_ALL in
  ja_*) CANCEL='キャンセル' ;;
  *) CANCEL='Cancel' ;;
esac

# start_tool ARGS...: starts Parvex.exe and waits for its dialog.
start_tool() {
  start_prog "$TOOL" "$@"
  drive wait "$T" >/dev/null || fail "the main dialog did not appear"
}

# end_tool: closes the dialog with Esc and waits for the program to end.
end_tool() {
  drive key "$T" escape || fail "Esc not taken"
  wait_prog "$PROG_PID" 30 || fail "Parvex did not end after Esc"
}

# reg_value SECTION NAME: the stored value as `wine reg query` shows it
# (0x.. for numbers), or nothing when it is missing.
reg_value() {
  wine reg query "$KEY\\$1" /v "$2" 2>/dev/null | tr -d '\r' |
    awk -v n="$2" '$1 == n { $1 = ""; $2 = ""; sub(/^ +/, ""); print }'
}

# reg_set SECTION NAME TYPE DATA: stores a value before a run.
reg_set() {
  wine reg add "$KEY\\$1" /v "$2" /t "$3" /d "$4" /f >/dev/null 2>&1 ||
    fail "reg add $1 $2 failed"
}

# make_file PATH BYTES: a file of pseudo-random bytes.
make_file() {
  head -c "$2" /dev/urandom >"$1" || fail "cannot write $1"
}

# expect_msgbox TITLE TEXT BUTTONS: the message box's text and buttons.
expect_msgbox() {
  local got
  got=$(drive msgbox "$1") || fail "no message box titled $1 (expected: $2)"
  assert_eq "$2"$'\n'"$3" "$got" "message box"
}

# answer TITLE BUTTON: presses BUTTON in the message box titled TITLE and
# waits until that box has gone (a next box must show another text).
answer() {
  local before now i
  before=$(drive msgbox "$1") || fail "no message box titled $1 to answer"
  drive clickbutton "$1" "$2" || fail "cannot press $2 in $1"
  for ((i = 0; i < 100; i++)); do
    now=$(drive -t 0 msgbox "$1" 2>/dev/null) || return 0
    [ "$now" != "$before" ] && return 0
    sleep 0.1
  done
  fail "message box \"$before\" stayed after $2"
}

# type_destination TEXT: the destination typed by the user. Typing in the
# combo box's edit field clears the list's selection; the driver's settext
# on the combo box does not, so the selection is cleared first.
type_destination() {
  drive select "$T" 1028 -1 || fail "cannot clear the destination selection"
  drive settext "$T" 1028 "$1" || fail "cannot type the destination"
}

# size_of PATH: the file's size in bytes.
size_of() { stat -c %s "$1"; }
