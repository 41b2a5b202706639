# Sets whose header carries the record (an exact UTF-8 name beside its code
# page 932 stand-in): `parvex info` names the exact name, the stand-in and
# the header's form; `parvex join` rebuilds the file under its exact name.
# The sets are written here byte by byte, as doc/format.md lays them out.
source "$(dirname "$0")/lib.sh" "$1"

# record_set FOLDER NAME STAND_IN SOURCE PIECE: FOLDER/r.c00, r.c01, ... of
# SOURCE behind a header naming NAME, PIECE bytes a piece.
record_set() {
  python3 - "$@" <<'PY'
import os, struct, sys, zlib
folder, name, stand_in, source, piece = sys.argv[1:6]
data = open(source, 'rb').read()
exact = name.encode()
head = bytearray(284)
head[0:8] = b'@PARVEX '
struct.pack_into('<HBBB', head, 8, 284, 2, 1, 0xFF)
struct.pack_into('<I', head, 16, len(data))
fn = stand_in.encode('cp932')
head[20:20 + len(fn)] = fn
record = b'PVXE\x01' + struct.pack('<Q', len(data)) + bytes([len(exact)]) + exact
record += struct.pack('<I', zlib.crc32(record))
at = 21 + len(fn)
head[at:at + len(record)] = record
whole = bytes(head) + data
os.makedirs(folder, exist_ok=True)
n = int(piece)
for k in range(0, (len(whole) + n - 1) // n):
    with open(os.path.join(folder, 'r.c%02d' % k), 'wb') as f:
        f.write(whole[k * n:(k + 1) * n])
PY
}

random_file source.bin 5000
i=0
for pair in "café.bin:caf_.bin" "한국어.zip:___.zip" "📦box.bin:_box.bin"; do
  name=${pair%%:*}
  stand_in=${pair#*:}
  i=$((i + 1))
  record_set "set$i" "$name" "$stand_in" source.bin 2000 ||
    fail "could not write the set of $name"
  run info "set$i/r.c00"
  expect_rc 0
  expect_text out.txt "source file: $name"
  expect_text out.txt "header: with record"
  expect_text out.txt "stand-in name: $stand_in"
  expect_text out.txt "complete: 3 pieces hold all 5,000 bytes."
  run join -d "out$i" "set$i/r.c00"
  expect_rc 0
  expect_same source.bin "out$i/$name"
  expect_absent "out$i/$stand_in"
done

# parvex cut writes the stand-in and the record itself, plain and
# self-joining.
random_file big.bin 20000
i=0
for name in "café.bin" "한국어.zip" "📦box.bin"; do
  for how in plain selfjoin; do
    i=$((i + 1))
    mkdir "cut$i"
    cp big.bin "cut$i/$name"
    if [ "$how" = plain ]; then
      run cut -s 8K "cut$i/$name"
      piece0="cut$i/${name%.*}.c00"
    else
      [ "$2" = 1 ] || continue
      run cut -x -s 14K "cut$i/$name"
      piece0=$(ls "cut$i"/_s*.exe)
    fi
    expect_rc 0
    run info "$piece0"
    expect_rc 0
    expect_text out.txt "source file: $name"
    expect_text out.txt "header: with record"
    run join -d "back$i" "$piece0"
    expect_rc 0
    expect_same big.bin "back$i/$name"
    [ "$(ls "back$i")" = "$name" ] || fail "back$i holds $(ls "back$i")"
  done
done

# A classic header says nothing of a record.
mkdir plain
cp source.bin plain/plain.bin
run cut -s 2K plain/plain.bin
expect_rc 0
run info plain/plain.c00
expect_rc 0
expect_no_text out.txt "header:"
expect_no_text out.txt "stand-in name:"

# A name too long for stand-in and record is refused before anything is
# written, saying how long it may be; --name cuts the file under another.
mkdir long
long=$(printf 'é%.0s' $(seq 1 100)).bin   # 204 bytes of UTF-8
cp source.bin "long/$long"
run cut -s 2K "long/$long"
expect_rc 1
expect_text err.txt "may be"
[ "$(ls long)" = "$long" ] || fail "a refused cut wrote: $(ls long)"
run cut -s 2K --name "Präsentation.pptx" "long/$long"
expect_rc 0
expect_text out.txt "Präsentation.pptx is cut into"
run join -d long.out long/Präsentation.c00
expect_rc 0
expect_same source.bin long.out/Präsentation.pptx
(cd long && sha256sum -c --ignore-missing --strict Präsentation.sha256 >/dev/null 2>&1) ||
  fail "sha256sum -c refuses the list of a set cut under --name"
run cut -s 2K --name "a/b.bin" "long/$long"
expect_rc 1

# A stream's length is known only at its end: a name that the header of a
# source of 4 GiB or more could not carry beside its record (250 bytes; the
# classic header holds it) is refused before a byte is read, saying how long
# it may be.
name250=$(printf 'n%.0s' $(seq 1 246)).bin
head -c 5000 source.bin |
  "$PARVEX" cut - --name "$name250" -s 2K -d stream.long >out.txt 2>err.txt
rc=$?
expect_rc 1
expect_text err.txt "it may be 245 bytes long"
expect_absent stream.long
name245=$(printf 'n%.0s' $(seq 1 241)).bin
head -c 5000 source.bin |
  "$PARVEX" cut - --name "$name245" -s 2K -d stream.long >out.txt 2>err.txt
rc=$?
expect_rc 0
run join -o stream.long.bin "stream.long/${name245%.bin}.c00"
expect_rc 0
expect_same source.bin stream.long.bin

finish
