# Pipes: `cut - --name NAME` cuts standard input into the same pieces a cut
# of a file of that name makes; `join -o FILE` writes FILE, `join -o -`
# standard output alone.
#   pipes.sh PARVEX HAS_STUB
source "$(dirname "$0")/lib.sh" "$1"

random_file x.bin 5000000
mkdir file stream
run cut -s 1M -d file x.bin
expect_rc 0

# Through a real pipe, in small writes (a shell loop would be slower; dd
# with a small block size makes many short reads).
dd if=x.bin bs=4093 status=none | "$PARVEX" cut - --name x.bin -s 1M -d stream \
  >out.txt 2>err.txt
rc=$?
expect_rc 0
expect_text out.txt "x.bin is cut into 5 files."
for k in 00 01 02 03 04; do
  expect_same "file/x.c$k" "stream/x.c$k"
done
expect_absent stream/x.c05 stream/x.c00.part stream/x.c04.part

# Sizes that land on piece boundaries, 284-byte pieces, 1000-byte sizes.
for case in "2097152 1M" "2096868 1M" "2096869 1M" "1000 284" "12345 1KB" \
            "3000000 1.44M"; do
  set -- $case
  rm -rf a b
  mkdir a b
  head -c "$1" x.bin >"n$1.bin"
  run cut -s "$2" -d a "n$1.bin"
  expect_rc 0
  head -c "$1" x.bin | "$PARVEX" cut - --name "n$1.bin" -s "$2" -d b >out.txt 2>err.txt
  rc=$?
  expect_rc 0
  [ "$(ls a)" = "$(ls b)" ] || fail "$1 bytes in $2: pieces $(ls b | tr '\n' ' ') from the pipe, $(ls a | tr '\n' ' ') from the file"
  for f in a/*; do expect_same "$f" "b/${f#a/}"; done
  head -c "$1" x.bin | sha256sum >want.txt
  "$PARVEX" join -o - b/"n$1.c00" 2>err.txt | sha256sum >got.txt
  cmp -s want.txt got.txt || fail "join -o - of $1 bytes: $(cat got.txt), want $(cat want.txt)"
done

# A self-joining set from a pipe: the program, then the header, as from a
# file.
if [ "${2:-0}" = 1 ]; then
  mkdir sjf sjs
  run cut -x -s 1M -d sjf x.bin
  expect_rc 0
  "$PARVEX" cut -x - --name x.bin -s 1M -d sjs <x.bin >out.txt 2>err.txt
  rc=$?
  expect_rc 0
  [ "$(ls sjf)" = "$(ls sjs)" ] || fail "self-joining pieces: $(ls sjs | tr '\n' ' ')"
  for f in sjf/*; do expect_same "$f" "sjs/${f#sjf/}"; done
  "$PARVEX" join -o - sjs/_sX.c02 2>err.txt | cmp -s - x.bin ||
    fail "join -o - of a self-joining set: $(cat err.txt)"
fi

# Questions never read the data: an existing piece is kept unless -y.
mkdir q
cp stream/x.c0* q/
head -c 3000000 x.bin | "$PARVEX" cut - --name x.bin -s 1M -d q >out.txt 2>err.txt
rc=$?
expect_rc 1
expect_text err.txt "parvex: x.c00 already exists."
expect_text err.txt "parvex: standard input carries the data: every question is answered Cancel"
expect_same stream/x.c00 q/x.c00
head -c 3000000 x.bin | "$PARVEX" cut -y - --name x.bin -s 1M -d q >out.txt 2>err.txt
rc=$?
expect_rc 0
head -c 3000000 x.bin | cmp -s - <("$PARVEX" join -o - q/x.c00 2>/dev/null) ||
  fail "the stream cut after -y does not join back"

# The header records NAME and the size that arrived.
run info stream/x.c03
expect_rc 0
expect_text out.txt "source file: x.bin"
expect_text out.txt "source size: 5,000,000 bytes"

# A stream that fits in one piece is not cut, and leaves nothing.
head -c 1000 x.bin | "$PARVEX" cut - --name short.bin -s 1M -d short >out.txt 2>err.txt
rc=$?
expect_rc 1
expect_text err.txt "parvex: short.bin is 0 KB."
[ -z "$(ls short 2>/dev/null)" ] || fail "a stream too short to cut left $(ls short)"
: | "$PARVEX" cut - --name empty.bin -d short >out.txt 2>err.txt
rc=$?
expect_rc 1
[ -z "$(ls short 2>/dev/null)" ] || fail "an empty stream left $(ls short)"

# Without --name, --name without -, --pieces or --pause with -: usage errors.
head -c 5000 x.bin | "$PARVEX" cut - -s 1K >out.txt 2>err.txt
rc=$?
expect_rc 2
expect_text err.txt "parvex: cutting standard input needs --name NAME"
for line in "cut - --name y.bin --pieces 3" "cut - --name y.bin -p"; do
  # shellcheck disable=SC2086
  IN=x.bin run $line
  expect_rc 2
done
expect_absent y.c00 x.c00 -.c00
# A name a cut of a file could not have.
head -c 5000 x.bin | "$PARVEX" cut - --name sub/y.bin -s 1K >out.txt 2>err.txt
rc=$?
expect_rc 1
expect_absent sub y.c00

# A stream that needs more than 10,000 pieces fails, naming what it wrote:
# 16 + 9999 * 300 bytes fill c00 .. c9999.
head -c $((16 + 9999 * 300 + 1)) x.bin |
  "$PARVEX" cut --no-checksum - --name many.bin -s 300 -d many >out.txt 2>err.txt
rc=$?
expect_rc 1
expect_text err.txt "parvex: The number of pieces has exceeded 10000."
expect_text err.txt "parvex: pieces written so far: many/many.c01 .. many/many.c9999"
expect_text err.txt "many/many.c00.part"
expect_absent many/many.c10000 many/many.c00

# join -o -: the data alone on standard output, through a pipe.
"$PARVEX" join -o - stream/x.c02 2>err.txt | sha256sum >got.txt
sha256sum <x.bin >want.txt
cmp -s want.txt got.txt || fail "join -o - | sha256sum: $(cat got.txt), want $(cat want.txt)"
expect_text err.txt "parvex: x.bin is concatinated."
"$PARVEX" join -o - file/x.c00 >piped.bin 2>err.txt
rc=$?
expect_rc 0
expect_same x.bin piped.bin
expect_absent file/x.bin file/x.bin.part
# No questions: an existing x.bin beside the pieces does not matter.
cp x.bin file/x.bin
"$PARVEX" join -o - file/x.c00 2>err.txt </dev/null | cmp -s - x.bin ||
  fail "join -o - with x.bin present: $(cat err.txt)"
expect_no_text err.txt "already exists"
rm file/x.bin
# A pipe that closes early ends the join, and leaves no file behind.
"$PARVEX" join -o - file/x.c00 2>err.txt | head -c 10 >/dev/null
expect_absent file/x.bin file/x.bin.part
# -q: nothing but the data.
"$PARVEX" join -q -o - file/x.c00 2>err.txt | cmp -s - x.bin || fail "join -q -o -"
[ -s err.txt ] && fail "join -q -o - printed: $(cat err.txt)"

# join -o FILE: that name, not the header's; the usual safeguards hold.
run join -o renamed.bin file/x.c03
expect_rc 0
expect_same x.bin renamed.bin
expect_text out.txt "renamed.bin is concatinated."
expect_absent file/x.bin
run join -o renamed.bin file/x.c00
expect_rc 1
expect_text err.txt "parvex: renamed.bin already exists."
run join -y -o renamed.bin file/x.c00
expect_rc 0
expect_same x.bin renamed.bin
cp file/x.c01 keep.c01
run join -y -o file/x.c01 file/x.c00
expect_rc 1
expect_text err.txt "parvex: file/x.c01: is an input of this operation"
expect_same keep.c01 file/x.c01
ln -s file/x.c02 link.bin
run join -o link.bin file/x.c00
expect_rc 1
expect_text err.txt "link.bin is a symbolic link to file/x.c02"
[ -L link.bin ] || fail "the link was replaced without a question"
run join -o out.bin -d elsewhere file/x.c00
expect_rc 2
expect_absent out.bin elsewhere
finish
