# Sets of more than 100 pieces, and a source of 4 GiB + 1 MiB (sparse, with
# random bytes at its start, middle and end), from a file and from standard
# input: cut, info, verify and join give back every byte. The large source
# needs room for its pieces and a joined copy: skipped (status 77) when the
# disk has less than 12 GiB free.
#   large.sh PARVEX HAS_STUB
source "$(dirname "$0")/lib.sh" "$1"

# check_set DIR STEM SOURCE PIECES [SIZE_TEXT]: info counts the pieces and
# names the last one, verify passes, and the join gives SOURCE back.
check_set() {
  local dir=$1 stem=$2 src=$3 n=$4 last
  last=$(printf '%s.c%02d' "$stem" $((n - 1)))
  run info "$dir/$stem.c00"
  expect_rc 0
  expect_text out.txt "complete: $n pieces hold all"
  expect_text out.txt "    $last "
  [ -n "${5:-}" ] && expect_text out.txt "source size: $5 bytes"
  run verify "$dir/$stem.c00"
  expect_rc 0
  expect_text out.txt "verified: $n pieces and the joined file match"
  run join -o "$dir/back.bin" "$dir/$last"
  expect_rc 0
  cmp -s "$src" "$dir/back.bin" || fail "$dir: the joined file differs from $src"
  rm -f "$dir/back.bin"
}

# ---- 101, 250 and 2,000 pieces ------------------------------------------------
# Piece 0 holds 1024 - 284 = 740 bytes of data, every later one 1024.
for n in 101 250 2000; do
  bytes=$((740 + (n - 2) * 1024 + 100))
  random_file "s$n.bin" "$bytes"
  run cut -s 1KiB -d "set$n" "s$n.bin"
  expect_rc 0
  expect_text out.txt "s$n.bin is cut into $n files."
  expect_size "set$n/$(printf 's%s.c%02d' "$n" $((n - 1)))" 100
  expect_absent "set$n/s$n.c$n"
  check_set "set$n" "s$n" "s$n.bin" "$n"
done
# --pieces N over 100.
run cut --pieces 250 -d p250 s2000.bin
expect_rc 0
expect_text out.txt "s2000.bin is cut into 250 files."
check_set p250 s2000 s2000.bin 250
# The same from standard input gives the same pieces.
"$PARVEX" cut -s 1KiB - --name s250.bin -d pipe250 <s250.bin >out.txt 2>err.txt
rc=$?
expect_rc 0
for f in set250/*.c*; do expect_same "$f" "pipe250/${f#set250/}"; done
rm -rf set* p250 pipe250 s*.bin

# ---- 4 GiB + 1 MiB ------------------------------------------------------------
free=$(df -Pk . | awk 'NR == 2 { print $4 }')
if [ "${free:-0}" -lt $((12 * 1024 * 1024)) ]; then
  echo "skipped: the 4 GiB + 1 MiB source needs 12 GiB free in $(pwd), $((${free:-0} / 1024)) MiB are" >&2
  finish
  exit 77
fi
size=$((4 * 1024 * 1024 * 1024 + 1024 * 1024))
truncate -s "$size" big.iso
for at in 0 $((size / 2)) $((size - 4096)); do
  head -c 4096 /dev/urandom | dd of=big.iso bs=4096 seek=$((at / 4096)) \
    conv=notrunc status=none
done

# Pieces of 1 GiB: four whole ones and 1 MiB + 284 bytes in the fifth.
run cut -s 1GiB -d file big.iso
expect_rc 0
expect_text out.txt "big.iso is cut into 5 files."
expect_size file/big.c04 $((1024 * 1024 + 284))
[ "$(head -c 8 file/big.c00)" = "@PARVEX+" ] || fail "piece 0 does not start with @PARVEX+"
check_set file big big.iso 5 "4,296,015,872"

# From standard input: the same pieces and list.
cat big.iso | "$PARVEX" cut - --name big.iso -s 1GiB -d stream >out.txt 2>err.txt
rc=$?
expect_rc 0
expect_text out.txt "big.iso is cut into 5 files."
for f in file/big.c0? file/big.sha256; do expect_same "$f" "stream/${f#file/}"; done
rm -rf file
check_set stream big big.iso 5 "4,296,015,872"
finish
