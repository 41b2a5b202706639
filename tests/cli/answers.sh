# Questions, the disk prompt, Ctrl-C and failures: who answers (-y, -n, the
# terminal, nobody), what each outcome leaves on disk, and the exit statuses
# 1 and 130.
source "$(dirname "$0")/lib.sh" "$1"

random_file data.bin 100000
echo old >data.c00

# No terminal and neither -y nor -n: Cancel, said once; the piece stays.
run cut -s 40K data.bin
expect_rc 1
expect_text err.txt "data.c00 already exists."
expect_text err.txt "standard input is not a terminal"
expect_text data.c00 old
expect_no_text out.txt "cut into"

# -n: Cancel without the remark.
run cut -n -s 40K data.bin
expect_rc 1
expect_no_text err.txt "not a terminal"
expect_text data.c00 old

# -y: OK, the piece is replaced.
run cut -y -s 40K data.bin
expect_rc 0
expect_text out.txt "data.bin is cut into 3 files."
expect_size data.c00 40960

# Joining over an existing output asks the same way.
mkdir out && echo keep >out/data.bin
run join -d out data.c01
expect_rc 1
expect_text err.txt "data.bin already exists."
expect_text out/data.bin keep
run join -y -d out data.c01
expect_rc 0
expect_same data.bin out/data.bin

# A write that fails during the copy (here: past the file size limit) is
# reported with the file's name; what was written stays under NAME.part,
# and the message says so.
(trap '' XFSZ; ulimit -f 40; exec "$PARVEX" join -d limited data.c00) \
  </dev/null >out.txt 2>err.txt
rc=$?
expect_rc 1
expect_text err.txt "limited/data.bin.part: File too large"
expect_text err.txt "what was written stays in limited/data.bin.part"
expect_size limited/data.bin.part 40960
expect_absent limited/data.bin
expect_no_text out.txt "concatinated"

# Asked on a terminal: "y" is OK, anything else Cancel.
if script -qec true /dev/null >/dev/null 2>&1; then
  echo keep >out/data.bin
  printf 'no\n' | script -qec "'$PARVEX' join -d out data.c00" /dev/null >tty.txt 2>&1
  rc=$?
  expect_rc 1
  expect_text out/data.bin keep
  printf 'y\n' | script -qec "'$PARVEX' join -d out data.c00" /dev/null >tty.txt 2>&1
  rc=$?
  expect_rc 0
  expect_same data.bin out/data.bin
  expect_no_text tty.txt "not a terminal"
else
  echo "note: no pseudo-terminal (script); terminal answers not tried" >&2
fi

# The disk prompt: one per piece, each waiting for a line; the end of the
# input counts as Enter.
rm -f data.c0* data.sha256
printf '\n\n' | "$PARVEX" cut -p -s 40K data.bin >out.txt 2>err.txt
rc=$?
expect_rc 0
for k in 1 2 3; do expect_text err.txt "Insert disk $k..."; done
expect_size data.c02 $((100000 + 284 - 2 * 40960))

# Ctrl-C while the disk prompt waits: the operation stops before the piece
# is touched, the status is 130 and no report is printed.
random_file big.bin 3000000
mkfifo input
"$PARVEX" cut -p -s 1M -d cancelled big.bin <input >out.txt 2>err.txt &
pid=$!
exec 3>input
wait_for err.txt "Insert disk 1"
kill -INT "$pid"
reap "$pid" 10  # a Ctrl-C that is not taken fails here instead of hanging
exec 3>&-
expect_rc 130
expect_no_text out.txt "cut into"
expect_absent cancelled/big.c00 cancelled/big.c00.part cancelled/big.c01

# The same during a join, over the pieces of a whole cut.
run cut -s 1M -d set big.bin
expect_rc 0
"$PARVEX" join -p -d joined set/big.c00 <input >out.txt 2>err.txt &
pid=$!
exec 3>input
wait_for err.txt "Insert disk 1"
kill -INT "$pid"
reap "$pid" 10  # a Ctrl-C that is not taken fails here instead of hanging
exec 3>&-
expect_rc 130
expect_no_text out.txt "concatinated"
expect_absent joined/big.bin joined/big.bin.part

finish
