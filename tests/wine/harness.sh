# Harness for the Wine end-to-end tests; sourced by each test script:
#
#   . "$(dirname "$0")/harness.sh"
#
# Sourcing it starts a private X server and a fresh 32-bit Wine prefix in a
# temporary folder, with a Japanese locale and the Japanese dialog fonts
# mapped to installed ones, and arranges for all of it to go away when the
# script exits. Without wine or Xvfb it prints a SKIP line and exits 77.
#
# Environment read:
#   PVX_WINE_BIN   folder holding pvxdrive.exe (default: the script's folder)
#   PVX_ARTEFACTS  folder for screenshots and program logs
#                  (default: ./wine-artefacts)
#   PVX_WINE_LANG  Unix locale for Wine (default ja_JP.UTF-8)
#   PVX_WINE_KEEP  1 keeps the temporary folder (prefix and files) for a look
#
# Variables set for the script: WINEPREFIX, DISPLAY, WINE_C (the prefix's
# drive C: as a Unix folder), PVX_WINE_TMP (scratch folder on drive Z:),
# PVX_DRIVE (the driver), PROG_PID (last program started).

_pvx_say() { printf 'harness: %s\n' "$*" >&2; }

_pvx_skip() {
  printf 'SKIP: %s\n' "$*"
  exit 77
}

for _pvx_tool in wine wineserver wineboot Xvfb; do
  command -v "$_pvx_tool" >/dev/null 2>&1 || _pvx_skip "$_pvx_tool is not installed"
done
unset _pvx_tool
# Wine for 32-bit programs needs a kernel that runs 32-bit x86 code; some
# machines (and containers) have none, and wine then fails with "Exec
# format error" before it starts.
if ! _pvx_why=$(wine --version 2>&1); then
  _pvx_skip "wine cannot run on this machine: $(printf '%s' "$_pvx_why" | tail -n 1)"
fi
unset _pvx_why

PVX_WINE_BIN=${PVX_WINE_BIN:-$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)}
PVX_DRIVE=$PVX_WINE_BIN/pvxdrive.exe
if [ ! -f "$PVX_DRIVE" ]; then
  _pvx_say "no driver at $PVX_DRIVE (build the wine test tools first)"
  exit 1
fi
PVX_ARTEFACTS=${PVX_ARTEFACTS:-$PWD/wine-artefacts}
mkdir -p "$PVX_ARTEFACTS"

# No "." in the folder's name: the tool reads a name's extension from the
# last "." of the whole text, and a random ".C..." here would make every
# path in it look like a piece.
PVX_WINE_TMP=$(mktemp -d "${TMPDIR:-/tmp}/pvxwine-XXXXXX")
_PVX_XVFB_PID=
_PVX_PROGS=()
_pvx_shots=0

_pvx_cleanup() {
  local rc=$?
  if declare -F test_cleanup >/dev/null; then test_cleanup || true; fi
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    wineserver -k >/dev/null 2>&1 || true
  fi
  local pid
  for pid in "${_PVX_PROGS[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  if [ -n "$_PVX_XVFB_PID" ]; then
    kill "$_PVX_XVFB_PID" 2>/dev/null || true
    wait "$_PVX_XVFB_PID" 2>/dev/null || true
  fi
  if [ "${PVX_WINE_KEEP:-0}" = 1 ]; then
    _pvx_say "kept $PVX_WINE_TMP"
  else
    rm -rf "$PVX_WINE_TMP"
  fi
  exit "$rc"
}
trap _pvx_cleanup EXIT
trap 'exit 130' INT TERM

_pvx_t0=$(date +%s%N)

# Locale: Wine takes the Windows locale (code page 932, Japanese button
# texts and default fonts) from the Unix one. Build it privately when the
# system lacks it.
_pvx_lang=${PVX_WINE_LANG:-ja_JP.UTF-8}
if ! locale -a 2>/dev/null | grep -qix "$(printf '%s' "$_pvx_lang" | sed 's/UTF-8/utf8/I')"; then
  _pvx_base=${_pvx_lang%%.*}
  mkdir -p "$PVX_WINE_TMP/locale"
  if command -v localedef >/dev/null 2>&1 &&
     localedef -i "$_pvx_base" -f UTF-8 "$PVX_WINE_TMP/locale/$_pvx_lang" >/dev/null 2>&1; then
    export LOCPATH=$PVX_WINE_TMP/locale
  else
    _pvx_say "cannot build locale $_pvx_lang; Wine runs with C.UTF-8 (no Japanese code page)"
    _pvx_lang=C.UTF-8
  fi
  unset _pvx_base
fi
# (bash itself cannot see a private LOCPATH and would warn; Wine can.)
{ export LANG=$_pvx_lang LC_ALL=$_pvx_lang; } 2>/dev/null

# A private X server on a free display number.
_pvx_dispfile=$PVX_WINE_TMP/display
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp \
  3>"$_pvx_dispfile" >"$PVX_WINE_TMP/xvfb.log" 2>&1 &
_PVX_XVFB_PID=$!
for _ in $(seq 100); do
  [ -s "$_pvx_dispfile" ] && break
  kill -0 "$_PVX_XVFB_PID" 2>/dev/null || break
  sleep 0.1
done
if [ ! -s "$_pvx_dispfile" ]; then
  _pvx_say "Xvfb did not start:"
  cat "$PVX_WINE_TMP/xvfb.log" >&2
  exit 1
fi
export DISPLAY=:$(tr -d '[:space:]' <"$_pvx_dispfile")

# A fresh 32-bit prefix, without the Mono and Gecko installers.
export WINEPREFIX=$PVX_WINE_TMP/prefix
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset WINESERVER WINELOADER
# A persistent server from the start: it would otherwise quit 3 s after the
# last program and cost a restart between two commands.
mkdir -p "$WINEPREFIX"
wineserver -p >/dev/null 2>&1 || _pvx_say "wineserver -p failed"
if ! wineboot -i >"$PVX_WINE_TMP/wineboot.log" 2>&1; then
  _pvx_say "wineboot failed:"
  cat "$PVX_WINE_TMP/wineboot.log" >&2
  exit 1
fi
WINE_C=$WINEPREFIX/drive_c
# One Windows process lives as long as the test: when the last one ends,
# Wine shuts its system processes down, and the next start waits ~10 s for
# them.
wine "$PVX_DRIVE" sleep 2147483647 >/dev/null 2>&1 &
_PVX_PROGS+=("$!")

# Wine draws the window frames itself (there is no window manager), so
# captions show in screenshots; the dialog fonts of the programs map to the
# IPA fonts.
_pvx_reg() { wine reg add "$@" /f >/dev/null 2>&1 || _pvx_say "reg add $* failed"; }
_pvx_reg 'HKCU\Software\Wine\X11 Driver' /v Managed /d N
_pvx_subst='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes'
_pvx_reg "$_pvx_subst" /v 'ＭＳ Ｐゴシック' /d IPAPGothic
_pvx_reg "$_pvx_subst" /v 'ＭＳ ゴシック' /d IPAGothic
_pvx_reg "$_pvx_subst" /v 'MS PGothic' /d IPAPGothic
_pvx_reg "$_pvx_subst" /v 'MS Gothic' /d IPAGothic
_pvx_reg "$_pvx_subst" /v 'MS UI Gothic' /d IPAPGothic
unset _pvx_subst
# Wine's own symbol font for the caption buttons, where the packaging left it
# outside the prefix's search path.
for _pvx_f in /usr/share/wine/fonts/marlett.ttf /usr/lib/wine/fonts/marlett.ttf \
              /usr/local/share/wine/fonts/marlett.ttf; do
  if [ -f "$_pvx_f" ]; then
    mkdir -p "$WINE_C/windows/Fonts"
    cp "$_pvx_f" "$WINE_C/windows/Fonts/" 2>/dev/null || true
    break
  fi
done
unset _pvx_f

PVX_HARNESS_START_MS=$((($(date +%s%N) - _pvx_t0) / 1000000))
_pvx_say "Wine ready on $DISPLAY in ${PVX_HARNESS_START_MS} ms (prefix $WINEPREFIX, $LC_ALL)"

# ---------------------------------------------------------------- helpers --

# drive COMMAND ARGS...: one pvxdrive command (see README.md); its output on
# stdout, its status as the function's.
drive() { wine "$PVX_DRIVE" "$@"; }

# drive_script FILE, or drive_script with the commands on standard input:
# runs them in one Wine start; stops at the first failing command.
drive_script() {
  if [ $# -eq 0 ]; then wine "$PVX_DRIVE" run -; else wine "$PVX_DRIVE" run "$1"; fi
}

# start_prog PATH ARGS...: starts a Windows program in the background; its
# output goes to $PVX_ARTEFACTS/<name>-<n>.log. Sets PROG_PID.
start_prog() {
  local exe=$1
  shift
  local log
  log=$PVX_ARTEFACTS/$(basename "$exe" .exe)-${#_PVX_PROGS[@]}.log
  wine "$exe" "$@" >"$log" 2>&1 &
  PROG_PID=$!
  _PVX_PROGS+=("$PROG_PID")
}

# wait_prog [PID [TIMEOUT_S]]: waits for a program started by start_prog (by
# default the last one) to end; returns its exit status, 124 on timeout.
wait_prog() {
  local pid=${1:-$PROG_PID} limit=${2:-30} i
  for ((i = 0; i < limit * 10; i++)); do
    if ! kill -0 "$pid" 2>/dev/null; then
      wait "$pid"
      return $?
    fi
    sleep 0.1
  done
  _pvx_say "program $pid still running after ${limit}s"
  return 124
}

# prog_running [PID]: true while the program still runs.
prog_running() { kill -0 "${1:-$PROG_PID}" 2>/dev/null; }

# screenshot NAME: the whole screen into $PVX_ARTEFACTS/NAME.png.
screenshot() {
  local out=$PVX_ARTEFACTS/$1.png
  if ! command -v import >/dev/null 2>&1; then
    _pvx_say "no screenshot $1: ImageMagick's import is missing"
    return 0
  fi
  # Let the windows finish painting what the last command changed.
  sleep "${PVX_SHOT_DELAY:-0.3}"
  import -display "$DISPLAY" -window root "$out" 2>/dev/null ||
    { _pvx_say "screenshot $1 failed"; return 1; }
  printf '%s\n' "$out"
}

# wait_file PATH [TIMEOUT_S]: waits until the file exists and its size has
# stopped changing for a moment.
wait_file() {
  local path=$1 limit=${2:-30} i last=-1 size
  for ((i = 0; i < limit * 10; i++)); do
    if [ -e "$path" ]; then
      size=$(stat -c %s "$path" 2>/dev/null || echo -1)
      [ "$size" = "$last" ] && return 0
      last=$size
    fi
    sleep 0.1
  done
  _pvx_say "file $path did not appear (or kept growing) within ${limit}s"
  return 1
}

# winpath UNIXPATH: the path as a Windows program sees it (C: for the
# prefix's drive_c, Z: for everything else).
winpath() {
  local p
  p=$(realpath -m "$1")
  case $p in
    "$WINE_C") printf 'C:\\\n' ;;
    "$WINE_C"/*) p=${p#"$WINE_C"/}; printf 'C:\\%s\n' "${p//\//\\}" ;;
    *) printf 'Z:%s\n' "${p//\//\\}" ;;
  esac
}

# fail MESSAGE: reports, records the screen and the windows, ends the test.
fail() {
  _pvx_shots=$((_pvx_shots + 1))
  printf 'FAIL: %s\n' "$*" >&2
  screenshot "failure-$_pvx_shots" >&2 || true
  printf 'windows at the failure:\n' >&2
  drive list >&2 || true
  exit 1
}

# assert_eq EXPECTED ACTUAL [WHAT]
assert_eq() {
  [ "$1" = "$2" ] || fail "${3:-value}: expected [$1], got [$2]"
}
