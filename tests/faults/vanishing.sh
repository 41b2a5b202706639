# Files that change under a running cut or join, timed by the pause prompts
# ("Insert disk N..." waits for Enter): a source that shrinks during the
# cut, and pieces that disappear between their prompt and their open.
#   vanishing.sh PARVEX
source "$(dirname "$0")/lib.sh" "$1"

# ---- the source shrinks before piece 1 -----------------------------------
# Pieces of 100K: piece 0 holds source bytes 0..102115; the source is cut
# back to 150000 bytes before piece 1.
random_file src.bin 300000
cp src.bin original.bin
start cut -p -s 100K -d set src.bin
wait_for "Insert disk 1" && answer
wait_for "Insert disk 2"
truncate -s 150000 src.bin
answer
finish_run
expect_rc 1
expect_text err.txt "src.bin: the file ended before its expected length."
expect_size set/src.c00 102400
expect_piece0 set/src.c00 original.bin
expect_size set/src.c01.part $((150000 - 102116))  # all that could be read
expect_data set/src.c01.part original.bin 102116
expect_text err.txt "what was written stays in set/src.c01.part"
expect_absent set/src.c02

# ---- a piece disappears at its prompt ----------------------------------------
cp original.bin src.bin
run cut -s 100K src.bin
expect_rc 0
start join -p -d out src.c00
wait_for "Insert disk 1" && answer
wait_for "Insert disk 2"
rm src.c01
answer
finish_run
expect_rc 1
expect_text err.txt "src.c01: No such file or directory"
expect_size out/src.bin.part $((102400 - 284))  # piece 0's data stays
expect_data out/src.bin.part original.bin 0
expect_absent out/src.bin

# Piece 0 itself gone at the first prompt: nothing is written.
start join -p -d out0 src.c00
wait_for "Insert disk 1"
mv src.c00 elsewhere.c00
answer
finish_run
expect_rc 1
expect_text err.txt "src.c00: No such file or directory"
expect_absent out0/src.bin

finish
