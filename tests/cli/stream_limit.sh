# A stream of 4 GiB or more cannot be described by a piece header: the cut
# fails when the byte past 4 GiB - 1 arrives, and names the pieces written
# so far. Writes 4 GiB; skipped (status 77) on a disk with less room.
#   stream_limit.sh PARVEX HAS_STUB
source "$(dirname "$0")/lib.sh" "$1"

free=$(df -Pk . | awk 'NR == 2 { print $4 }')
if [ "${free:-0}" -lt $((5 * 1024 * 1024)) ]; then
  echo "skipped: less than 5 GiB free in $(pwd)" >&2
  exit 77
fi

# Pieces of 2 GiB: piece 0 and piece 1 fill up, piece 2 gets the 283 bytes
# left below 4 GiB; the next byte is one too many.
head -c $((4 * 1024 * 1024 * 1024)) /dev/zero |
  "$PARVEX" cut --no-checksum - --name big.bin -s 2GiB >out.txt 2>err.txt
rc=$?
expect_rc 1
expect_text err.txt "parvex: standard input is 4 GiB or larger; a piece set cannot describe it."
expect_text err.txt "parvex: pieces written so far: big.c01"
expect_text err.txt "parvex: what was written stays in big.c00.part"
expect_text err.txt "parvex: what was written stays in big.c02.part"
expect_size big.c01 2147483648
expect_size big.c02.part 283
expect_absent big.c00 big.c02
rm -f big.c0*

# One byte less is a complete set.
head -c $((4 * 1024 * 1024 * 1024 - 1)) /dev/zero |
  "$PARVEX" cut --no-checksum - --name big.bin -s 2GiB >out.txt 2>err.txt
rc=$?
expect_rc 0
expect_text out.txt "big.bin is cut into 3 files."
expect_size big.c02 283
run info big.c00
expect_rc 0
expect_text out.txt "source size: 4,294,967,295 bytes"
finish
