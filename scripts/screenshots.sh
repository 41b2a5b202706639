#!/bin/bash
# Makes the README's pictures of the Windows programs under Wine:
#
#   scripts/screenshots.sh [BUILD_DIR]
#
# BUILD_DIR (default: build) must hold the built programs; this script
# builds nothing. It runs Parvex.exe and a self-joining set it cuts on a
# private Xvfb display with a fresh Wine prefix (tests/wine/harness.sh),
# crops each window out of the screen and writes
#
#   doc/screenshots/tool-dialog.png     the main dialog, file name filled in
#   doc/screenshots/tool-progress.png   the progress window after the cut
#   doc/screenshots/stub-dialog.png     the dialog of the set's piece 0
#
# Needs wine, Xvfb, ImageMagick and the IPA fonts (`scripts/deps.sh test`
# installs them). Look at the pictures before committing them.
set -u

top=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$top/build}")
out=$top/doc/screenshots

tool_exe=$build/windows/Parvex.exe
driver=$build/tests/wine/pvxdrive.exe
missing=0
for f in "$tool_exe" "$driver"; do
  if [ ! -f "$f" ]; then
    printf 'screenshots: %s is missing\n' "$f" >&2
    missing=1
  fi
done
if [ "$missing" = 1 ]; then
  printf 'screenshots: build the Windows programs and the Wine driver first:\n' >&2
  printf '  cmake -S . -B build -DBUILD_TESTING=ON && cmake --build build -j2\n' >&2
  exit 1
fi
for cmd in wine Xvfb convert import; do
  if ! command -v "$cmd" >/dev/null 2>&1; then
    printf 'screenshots: %s is not installed (bash scripts/deps.sh test installs it)\n' "$cmd" >&2
    exit 1
  fi
done
mkdir -p "$out"

export PVX_WINE_BIN=$build/tests/wine
export PVX_ARTEFACTS=$build/screenshots
. "$top/tests/wine/harness.sh"
# The harness skips (exit 77) when something is missing; here that is a
# failure, said above. Past this point Wine runs.

T='Parvex ver.2.10e'
KEY='HKCU\Software\Orvane products\Parvex'
MARGIN=4

# shot NAME TITLE: the window titled TITLE as doc/screenshots/NAME.png,
# with a transparent margin of MARGIN pixels (the screen around the window
# is Xvfb's black root or another window), metadata stripped, 8-bit palette.
shot() {
  local name=$1 title=$2 l t r b full
  read -r l t r b <<<"$(drive rect "$title")"
  [ -n "${b:-}" ] || fail "no rectangle for $title"
  full=$(screenshot "$name") || fail "no screenshot of $title"
  convert "$full" -crop "$((r - l))x$((b - t))+$l+$t" +repage \
    -bordercolor none -border "$MARGIN" -strip -colors 256 \
    "PNG8:$out/$name.png" || fail "cannot crop $name"
  printf 'screenshots: %s (%d bytes)\n' "$out/$name.png" "$(stat -c %s "$out/$name.png")"
}

# The files a user would cut: a folder with a Japanese name on drive C:, so
# the dialog shows a short path and the fonts' Japanese glyphs.
DIR=$WINE_C/写真
mkdir -p "$DIR"
head -c 4000000 /dev/urandom >"$DIR/旅行2026.zip"

# Settings as a user leaves them: self-joining on, no pause between disks.
wine reg add "$KEY\\Settings" /v Check /t REG_DWORD /d 2 /f >/dev/null 2>&1 ||
  fail "cannot store the settings"

cp "$tool_exe" "$PVX_WINE_TMP/Parvex.exe"
start_prog "$PVX_WINE_TMP/Parvex.exe" "$(winpath "$DIR/旅行2026.zip")"
drive wait "$T" >/dev/null || fail "the main dialog did not appear"
drive until 1 enabled "$T" 40001 >/dev/null || fail "Cut not enabled"
# The caret at the end of the name rather than the whole name selected.
drive key "$T" end || fail "End not taken"
shot tool-dialog "$T"

drive click "$T" 40001
P=$(drive waitprefix '旅行2026.zip (' | cut -d' ' -f2-) || fail "no progress window"
drive until OK text "$P" 2 >/dev/null || fail "the cut did not finish"
drive expect '旅行2026.zip is cut into 3 files.' text "$P" 1004 >/dev/null ||
  fail "unexpected closing text: $(drive text "$P" 1004)"
shot tool-progress "$P"
drive click "$P" 2
wait_prog "$PROG_PID" 30 || fail "Parvex did not end after the cut"

stub=$(find "$DIR" -maxdepth 1 -name '_s*.exe' | head -1)
[ -n "$stub" ] || fail "the cut wrote no self-joining piece 0"
start_prog "$stub"
S=$(drive waitprefix 'Parvex Self' | cut -d' ' -f2-) || fail "no stub dialog"
drive key "$S" end || fail "End not taken"
shot stub-dialog "$S"
drive close "$S"
wait_prog "$PROG_PID" 20 || fail "the stub did not end"
