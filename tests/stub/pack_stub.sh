#!/bin/bash
# pack_stub turns the program as the linker writes it into the built stub,
# and changes nothing it cannot pack: the built (already packed) stub, a
# program with its DOS program in place but sections not laid out for
# packing, something that is no program, a missing file. Each of those is
# refused with exit status 1 and a message naming the file, and stays byte
# for byte as it was.
#
#   pack_stub.sh PACK_STUB STUB.exe
set -u
pack=$1
stub=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

refused() {  # refused FILE WHAT
  local before=$work/before
  [ -e "$1" ] && cp "$1" "$before"
  "$pack" "$1" >"$work/out" 2>&1
  local rc=$?
  if [ $rc -ne 1 ]; then
    echo "FAIL: $2: exit status $rc, not 1"; failures=$((failures + 1))
  elif ! grep -qF "$1" "$work/out"; then
    echo "FAIL: $2: the message does not name the file: $(cat "$work/out")"
    failures=$((failures + 1))
  elif [ -e "$1" ] && ! cmp -s "$1" "$before"; then
    echo "FAIL: $2: the file changed"; failures=$((failures + 1))
  elif ls "$work"/*.packing >/dev/null 2>&1; then
    echo "FAIL: $2: a partial file was left"; failures=$((failures + 1))
  else
    echo "ok: $2: $(cat "$work/out")"
  fi
}

cp "$stub" "$work/packed.exe"
refused "$work/packed.exe" "the built stub, packed already"

# The program as the linker writes it, rebuilt from the packed one: 64
# bytes of DOS program in front of the PE headers, the header size and
# each section's raw offset 64 bytes larger. With MOVE 0 the raw offsets stay
# on the addresses, which no link for packing gives.
unpack() {  # unpack STUB OUT MOVE
  python3 - "$@" <<'PY'
import struct, sys
d = bytearray(open(sys.argv[1], 'rb').read())
move = int(sys.argv[3])
d[0x40:0x40] = b'\x0e\x1f' * 32
struct.pack_into('<I', d, 0x3C, 0x80)
opt = 0x80 + 24
count = struct.unpack_from('<H', d, 0x80 + 6)[0]
table = opt + struct.unpack_from('<H', d, 0x80 + 20)[0]
struct.pack_into('<I', d, opt + 60, struct.unpack_from('<I', d, opt + 60)[0] + 64)
for i in range(count):
    at = table + 40 * i + 20
    struct.pack_into('<I', d, at, struct.unpack_from('<I', d, at)[0] + move)
open(sys.argv[2], 'wb').write(d)
PY
}

unpack "$stub" "$work/linked.exe" 64
if "$pack" "$work/linked.exe" && cmp -s "$work/linked.exe" "$stub"; then
  echo "ok: a program as linked packs into the built stub, byte for byte"
else
  echo "FAIL: packing the program as linked does not give the built stub"
  failures=$((failures + 1))
fi

unpack "$stub" "$work/unlaid.exe" 0
refused "$work/unlaid.exe" "sections not laid out 64 bytes above their addresses"

printf 'MZ but nothing more' >"$work/short.exe"
refused "$work/short.exe" "no program"
refused "$work/missing.exe" "a missing file"

[ $failures -eq 0 ] && echo "all refusals as expected"
exit $((failures != 0))
