# SIZE as coreutils reads it, through parvex: every suffix as piece 0's
# length, every bad size a usage error that says what is accepted, and
# --pieces N.
#   sizes.sh PARVEX HAS_STUB
source "$(dirname "$0")/lib.sh" "$1"

random_file big.bin 3000000
random_file small.bin 5000

# Each kind of form once (the full suffix table is sizes_test.cpp's): the
# bytes it means is piece 0's length; a size past the file's length is read
# but cuts nothing.
forms=(
  "1000 1000" "3k 3072" "1KB 1000" "1MiB 1048576" "1.44M 1457664"
  "4294967295 4294967295"
)
n=0
for form in "${forms[@]}"; do
  set -- $form
  n=$((n + 1))
  file=big.bin
  [ "$2" -lt 5000 ] && file=small.bin
  run cut -s "$1" -d "f$n" "$file"
  if [ "$2" -lt "$(stat -c %s "$file")" ]; then
    expect_rc 0
    expect_size "f$n/${file%.bin}.c00" "$2"
  else
    # Past the file's length: nothing to cut, but the size was read, as
    # the message shows in kilobytes; no usage error.
    expect_rc 1
    expect_text err.txt "no need to cut"
    expect_absent "f$n"
  fi
done

# A bad size: status 2, "parvex: " first, the accepted forms named, nothing
# written.
for bad in 12Q ""; do
  run cut -s "$bad" -d bad small.bin
  expect_rc 2
  expect_text err.txt "parvex: invalid size: '$bad'"
  for word in KiB "KB, MB, GB" "powers of 1000" 1.44M 1.25M; do
    expect_text err.txt "$word"
  done
done
run cut -s 4G -d bad big.bin
expect_rc 2
expect_text err.txt "parvex: size too large: '4G'"
expect_text err.txt "4294967295"
expect_absent bad small.c00 big.c00
# Under a Japanese locale the same refusal is Japanese.
LANG=ja_JP.UTF-8 run cut -s 12Q small.bin
expect_rc 2
expect_text err.txt "parvex: サイズが正しくありません: '12Q'"

# --pieces 3: 3,000,000 bytes and piece 0's 284-byte head in three pieces
# of 1,000,095 bytes at most; the last holds the remaining 1,000,094.
run cut --pieces 3 -d p3 big.bin
expect_rc 0
expect_size p3/big.c00 1000095
expect_size p3/big.c01 1000095
expect_size p3/big.c02 1000094
expect_absent p3/big.c03
cat p3/big.c* | tail -c 3000000 | cmp -s - big.bin ||
  fail "--pieces 3: the pieces do not hold the file"
run join -o p3/back.bin p3/big.c00
expect_rc 0
expect_same big.bin p3/back.bin
# The most there may be: 100 pieces of 30,003 bytes.
run cut --pieces 100 -d p100 big.bin
expect_rc 0
expect_size p100/big.c00 30003
expect_size p100/big.c98 30003
expect_size p100/big.c99 29987
expect_absent p100/big.c100

# N above 10,000, and what is no count: refused before anything is written.
for bad in 10001 1 x; do
  run cut --pieces "$bad" -d refused big.bin
  expect_rc 2
  expect_text err.txt "parvex: invalid number of pieces: '$bad'"
  expect_text err.txt "N is a whole number from 2 to 10000 (a set holds at most 10000 pieces)"
done
expect_absent refused
# A file too short for N equal pieces with the head in piece 0.
random_file tiny.bin 1000
run cut --pieces 6 -d refused tiny.bin
expect_rc 1
expect_text err.txt "parvex: tiny.bin: no piece size cuts 1000 bytes into 6 pieces"
expect_absent refused
run cut --pieces 5 -d five tiny.bin
expect_rc 0
expect_size five/tiny.c00 284

# -s and --pieces exclude each other.
run cut -s 1M --pieces 3 big.bin
expect_rc 2
expect_text err.txt "cannot be given together"
expect_absent big.c00
finish
