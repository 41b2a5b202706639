# PAR2 recovery data: what cut --recovery writes is what par2cmdline
# accepts and repairs with; repair, verify and join use it, and PAR2 files
# made by par2cmdline are read too.
source "$(dirname "$0")/lib.sh" "$1"
has_stub=${2:-0}

if ! command -v par2 >/dev/null; then
  echo "par2 (par2cmdline) is not installed; skipped"
  exit 77
fi

# flip FILE OFFSET: changes one byte.
flip() {
  local old
  old=$(dd if="$1" bs=1 skip="$2" count=1 status=none | od -An -tu1 | tr -d ' ')
  printf "\\x$(printf %02x $(((old + 1) % 256)))" |
    dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}
# par2_accepts INDEX: par2cmdline finds every file of the set intact.
par2_accepts() {
  par2 verify -q "$1" >par2.txt 2>&1 ||
    fail "par2 verify $1 (line ${BASH_LINENO[0]}): $(cat par2.txt)"
}

random_file data.bin 300000

# ---- cut --recovery: what par2cmdline accepts ----------------------------------
mkdir plain && cp data.bin plain/
run cut -s 100K --recovery 2 plain/data.bin
expect_rc 0
for f in data.c00 data.c01 data.c02 data.sha256 data.par2 data.vol0+1.par2 \
         data.vol1+1.par2; do
  [ -f "plain/$f" ] || fail "cut --recovery 2 wrote no plain/$f"
done
par2_accepts plain/data.par2
# One recovery file per slice, each slice one piece.
expect_size plain/data.vol0+1.par2 "$(stat -c %s plain/data.vol1+1.par2)"

name="a b 日本語.bin"
mkdir named && cp data.bin "named/$name"
run cut --pieces 4 --recovery 50% "named/$name"
expect_rc 0
par2_accepts "named/a b 日本語.par2"
[ -f "named/a b 日本語.vol1+1.par2" ] || fail "50% of 4 pieces is not 2 slices"

if [ "$has_stub" = 1 ]; then
  mkdir self && cp data.bin self/
  run cut -x -s 150K --recovery 2 self/data.bin
  expect_rc 0
  par2_accepts self/_sData.par2
  par2 verify self/_sData.par2 >par2.txt 2>&1
  expect_text par2.txt "_sData.exe"
fi

# Standard input: a second pass over the pieces written.
mkdir stream
IN=data.bin run cut - --name data.bin -s 100K -d stream --recovery 1
expect_rc 0
par2_accepts stream/data.par2
IN=data.bin run cut - --name data.bin -s 100K -d stream --recovery 10%
expect_rc 2
expect_text err.txt "--recovery N%"

# Usage errors write nothing.
mkdir usage && cp data.bin usage/
for amount in "" "x" "0" "101%" "-1"; do
  run cut --recovery "$amount" usage/data.bin
  expect_rc 2
done
run cut --recovery 1 --pause usage/data.bin
expect_rc 2
expect_absent usage/data.c00 usage/data.par2

# The recovery files are the set's names: asked about before any piece is
# written, and kept when the answer is Cancel.
mkdir asked && cp data.bin asked/ && echo old >asked/data.vol0+1.par2
run cut -n -s 100K --recovery 1 asked/data.bin
expect_rc 1
expect_text err.txt "data.vol0+1.par2"
expect_absent asked/data.c00 asked/data.par2
[ "$(cat asked/data.vol0+1.par2)" = old ] || fail "a refused name was replaced"
run cut -y -s 100K --recovery 1 asked/data.bin
expect_rc 0
par2_accepts asked/data.par2

finish
