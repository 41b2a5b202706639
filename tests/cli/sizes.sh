# SIZE as coreutils reads it, through parvex: every suffix as piece 0's
# length, every bad size a usage error that says what is accepted, and
# --pieces N.
#   sizes.sh PARVEX HAS_STUB
source "$(dirname "$0")/lib.sh" "$1"

random_file big.bin 3000000
random_file small.bin 5000

# Each form, the bytes it means: piece 0 of the cut is that long.
forms=(
  "1000 1000" "000700 700" "4294967295 4294967295"
  "1K 1024" "3k 3072" "1KiB 1024" "2kiB 2048" "1KB 1000" "3kB 3000"
  "1M 1048576" "2m 2097152" "1MiB 1048576" "1MB 1000000" "2mB 2000000"
  "1G 1073741824" "1GiB 1073741824" "1GB 1000000000" "3g 3221225472"
  "1.44M 1457664" "1.44m 1457664" "1.25M 1250304" "1.25m 1250304"
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

# Bad sizes: status 2, "parvex: " first, the accepted forms named, nothing
# written.
for bad in "" K KB 12Q 1.5M 1.44 1.44MB 1.44MiB 1KK 1KBB 1KIB 1Ki 1iB 1B 1b \
           5T -5 +5 " 5" 0x10 1e6 1,000 10Kb; do
  run cut -s "$bad" -d bad small.bin
  expect_rc 2
  expect_text err.txt "parvex: invalid size: '$bad'"
  for word in KiB "KB, MB, GB" "powers of 1000" 1.44M 1.25M; do
    expect_text err.txt "$word"
  done
done
for big in 4G 4GiB 5GB 4294967296 4096M 99999999999999999999999; do
  run cut -s "$big" -d bad big.bin
  expect_rc 2
  expect_text err.txt "parvex: size too large: '$big'"
  expect_text err.txt "4294967295"
done
expect_absent bad small.c00 big.c00
# Under a Japanese locale the same refusal is Japanese.
LANG=ja_JP.UTF-8 run cut -s 12Q small.bin
expect_rc 2
expect_text err.txt "parvex: サイズが正しくありません: '12Q'"

# --pieces N: N pieces, all but the last of one size, the smallest that
# does it with piece 0's 284-byte head counted.
for n in 2 3 7 10 100; do
  run cut --pieces "$n" -d "p$n" big.bin
  expect_rc 0
  count=$(ls "p$n" | grep -c '\.c[0-9]*$')
  [ "$count" = "$n" ] || fail "--pieces $n made $count pieces"
  size=$(( (3000000 + 284 + n - 1) / n ))
  last=$(printf 'p%s/big.c%02d' "$n" $((n - 1)))
  for k in $(seq 0 $((n - 2))); do
    expect_size "$(printf 'p%s/big.c%02d' "$n" "$k")" "$size"
  done
  [ "$(stat -c %s "$last")" -le "$size" ] || fail "--pieces $n: the last piece is the longest"
  cat "p$n"/big.c* | tail -c 3000000 | cmp -s - big.bin ||
    fail "--pieces $n: the pieces do not hold the file"
  run join -o "p$n/back.bin" "p$n/big.c00"
  expect_rc 0
  expect_same big.bin "p$n/back.bin"
done
expect_size p3/big.c00 1000095

# N above 10,000, and what is no count: refused before anything is written.
for bad in 10001 100000 0 1 x 3K -2 ""; do
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
