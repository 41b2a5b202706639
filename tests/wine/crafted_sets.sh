# Piece sets whose header names a file chosen by the test, as someone who
# plants a hostile set would make them. Sourced after the harness:
#
#   . "$PVX_WINE_HARNESS"; . "$(dirname "$PVX_WINE_HARNESS")/crafted_sets.sh"
#
# Environment read: PVX_PARVEX (the parvex program, which cuts the sets),
# PVX_STUB_EXE (_sSPVX.exe, which heads a self-joining piece 0).

# put_header_name FILE OFFSET NAME: the FileName field of the header that
# starts at OFFSET in FILE becomes NAME (ASCII), padded with NULs.
put_header_name() {
  local len
  len=$(printf '%s' "$3" | wc -c)
  [ "$len" -lt 264 ] || fail "header name too long: $3"
  { printf '%s' "$3"; head -c $((264 - len)) /dev/zero; } |
    dd of="$1" bs=1 seek=$(($2 + 20)) conv=notrunc status=none ||
    fail "cannot rewrite the header of $1"
}

# plain_set DIR BYTES PIECE NAME: DIR/report.c00, .c01, ... cut from BYTES
# pseudo-random bytes (the source is removed), piece 0's header naming NAME.
plain_set() {
  rm -rf "$1" && mkdir -p "$1" || fail "cannot make $1"
  head -c "$2" /dev/urandom >"$1/report.txt"
  "${PVX_PARVEX:?}" cut --size "$3" "$1/report.txt" >/dev/null ||
    fail "parvex could not cut $1/report.txt"
  rm "$1/report.txt"
  put_header_name "$1/report.c00" 0 "$4"
}

# self_set DIR BYTES PIECE NAME: a self-joining set DIR/_sEvil.exe,
# _sEvil.c01, ... of BYTES pseudo-random bytes: PVX_STUB_EXE followed by the
# header and the data of a plain piece 0, the header naming NAME. (Built from
# the stub under test rather than parvex's own, so any stub can be tried.)
self_set() {
  local k
  rm -rf "$1" && mkdir -p "$1" || fail "cannot make $1"
  head -c "$2" /dev/urandom >"$1/evil.txt"
  "${PVX_PARVEX:?}" cut --size "$3" "$1/evil.txt" >/dev/null ||
    fail "parvex could not cut $1/evil.txt"
  rm "$1/evil.txt"
  cat "${PVX_STUB_EXE:?}" "$1/evil.c00" >"$1/_sEvil.exe" && rm "$1/evil.c00" ||
    fail "cannot write $1/_sEvil.exe"
  for k in "$1"/evil.c*; do
    mv "$k" "$1/_sEvil.${k##*.}" || fail "cannot rename $k"
  done
  put_header_name "$1/_sEvil.exe" "$(stat -c %s "$PVX_STUB_EXE")" "$4"
}

# fingerprint DIR: every file under DIR with its size, time and checksum.
fingerprint() {
  (cd "$1" && find . -type f -printf '%P %s %T@ ' -exec md5sum {} \; | sort)
}
