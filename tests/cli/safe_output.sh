# Where parvex writes, and what it never does: write through a symbolic
# link, lose a race between its check and its open, block on a FIFO, destroy
# the file it was asked to replace, report an impossible set as joined,
# print a header's control characters, make a private file public, or start
# a cut that can never complete.
source "$(dirname "$0")/lib.sh" "$1"

# put, le32 and header come from lib.sh.
# within SECONDS CMD...: runs CMD (output captured as by run), failing the
# test when it does not end in time.
within() {
  local limit=$1
  shift
  timeout "$limit" "$PARVEX" "$@" </dev/null >out.txt 2>err.txt
  rc=$?
  [ "$rc" != 124 ] || fail "parvex $* still ran after ${limit}s (line ${BASH_LINENO[0]})"
}

random_file data.bin 100000
run cut -s 40K data.bin
expect_rc 0
mkdir outside

# ---- a symbolic link at the output name ------------------------------------
echo "victim" >outside/victim.txt
cp outside/victim.txt victim.orig
mkdir j1 && ln -s ../outside/victim.txt j1/data.bin
run join -n -d j1 data.c00
expect_rc 1
expect_text err.txt "data.bin is a symbolic link to ../outside/victim.txt"
expect_same victim.orig outside/victim.txt
[ -L j1/data.bin ] || fail "the link j1/data.bin was replaced after Cancel"
run join -y -d j1 data.c00
expect_rc 0
expect_same victim.orig outside/victim.txt
[ ! -L j1/data.bin ] || fail "j1/data.bin is still a link"
expect_same data.bin j1/data.bin

# A dangling link: nothing is created where it points.
mkdir j2 && ln -s ../outside/created.txt j2/data.bin
run join -y -d j2 data.c00
expect_rc 0
expect_absent outside/created.txt
expect_same data.bin j2/data.bin

# A link at a piece name in a cut.
mkdir c1 && ln -s ../outside/victim.txt c1/data.c01
run cut -y -s 40K -d c1 data.bin
expect_rc 0
expect_same victim.orig outside/victim.txt
[ ! -L c1/data.c01 ] || fail "c1/data.c01 is still a link"
expect_same data.c01 c1/data.c01

# ---- a link flipped to and fro while joins run --------------------------------
# Whoever can write to the destination swaps a link in at the output name
# between parvex's look and its open; the victim must never change.
mkdir race
( end=$((SECONDS + 3))
  while [ $SECONDS -lt $end ]; do
    ln -sfn ../outside/victim.txt race/data.bin.new 2>/dev/null
    mv -fT race/data.bin.new race/data.bin 2>/dev/null
    rm -f race/data.bin
  done ) &
flipper=$!
for _ in $(seq 20); do
  timeout 10 "$PARVEX" join -n -d race data.c00 </dev/null >/dev/null 2>&1
  timeout 10 "$PARVEX" join -y -d race data.c00 </dev/null >/dev/null 2>&1
done
wait "$flipper"
expect_same victim.orig outside/victim.txt

# ---- FIFOs and other files that are not regular ------------------------------
mkdir fifo && cp data.c0* fifo/ && rm fifo/data.c01 && mkfifo fifo/data.c01
within 10 info fifo/data.c00
expect_rc 1
expect_text out.txt "data.c01: is a FIFO, not a regular file"
within 10 join -y -d fifo-out fifo/data.c00
expect_rc 1
expect_text err.txt "data.c01: is a FIFO, not a regular file"
expect_absent fifo-out/data.bin fifo-out/data.bin.part
mkdir fifo2 && mkfifo fifo2/data.bin
within 10 join -y -d fifo2 data.c00
expect_rc 1
expect_text err.txt "fifo2/data.bin: is a FIFO, not a regular file"
[ -p fifo2/data.bin ] || fail "the FIFO fifo2/data.bin was replaced"
within 10 cut -s 40K -d cdev /dev/null
expect_rc 1
expect_text err.txt "/dev/null: is a device, not a regular file"

# ---- a failed join leaves the file it was to replace -------------------------------
mkdir keep && echo "precious" >keep/data.bin && cp keep/data.bin precious.orig
mv data.c02 c02.away
run join -y -d keep data.c00
expect_rc 1
expect_text err.txt "data.c02: missing"
expect_text err.txt "nothing was written"
expect_same precious.orig keep/data.bin
expect_absent keep/data.bin.part
# With --pause the pieces come one by one; the old file still stays whole.
run join -y -p -d keep data.c00
expect_rc 1
expect_same precious.orig keep/data.bin
expect_text err.txt "what was written stays in keep/data.bin.part"
mv c02.away data.c02
# A .part left by that run is replaced without a question.
run join -y -d keep data.c00
expect_rc 0
expect_same data.bin keep/data.bin
expect_absent keep/data.bin.part

# ---- a set that would overrun its size ---------------------------------------------
# 100 bytes claimed, 200 in piece 0 and 2^32 - 100 in piece 1: counted in 32
# bits the remainder wraps to exactly 0 and the set looks joined.
mkdir over
header over/tiny.c00 'tiny.txt' 100
head -c 200 /dev/urandom >>over/tiny.c00
truncate -s $((4294967296 - 100)) over/tiny.c01
run info over/tiny.c00
expect_rc 1
expect_text out.txt "inconsistent"
run join -y -d over-out over/tiny.c00
expect_rc 1
expect_no_text out.txt "concatinated"
expect_absent over-out/tiny.txt over-out/tiny.txt.part

# ---- info: header sizes join refuses, control characters -------------------------
# HeaderSize 0 with the piece holding what it then adds up to; 65535 in a
# piece shorter than that, with a size of 0 to match.
for size in 0 65535; do
  if [ "$size" = 0 ]; then
    header hs.c00 'hs.txt' 294 0
  else
    header hs.c00 'hs.txt' 0 65535
  fi
  head -c 10 /dev/urandom >>hs.c00
  run info hs.c00
  expect_rc 1
  run join -d hs-out hs.c00
  expect_rc 1
  expect_absent hs-out/hs.txt
done
header esc.c00 'a\x1b[2Jb\nc.txt' 10
head -c 10 /dev/urandom >>esc.c00
run info esc.c00
expect_rc 1
expect_text out.txt "a?[2Jb?c.txt"
if grep -q "$(printf '\033')" out.txt err.txt; then fail "an ESC reached the terminal"; fi

# ---- permissions ---------------------------------------------------------------
mkdir perm && random_file perm/secret.bin 100000 && chmod 600 perm/secret.bin
(umask 022 && "$PARVEX" cut -s 40K perm/secret.bin </dev/null >out.txt 2>err.txt)
for f in perm/secret.c00 perm/secret.c01 perm/secret.c02; do
  [ "$(stat -c %a "$f")" = 600 ] || fail "$f has mode $(stat -c %a "$f"), not 600"
done
(umask 022 && "$PARVEX" join -d perm-out perm/secret.c00 </dev/null >out.txt 2>err.txt)
[ "$(stat -c %a perm-out/secret.bin)" = 600 ] ||
  fail "the joined file has mode $(stat -c %a perm-out/secret.bin), not 600"
chmod 666 perm/secret.c00
(umask 027 && "$PARVEX" join -y -d perm-out perm/secret.c00 </dev/null >out.txt 2>err.txt)
[ "$(stat -c %a perm-out/secret.bin)" = 640 ] || fail "the umask was not applied"

# ---- sizes and counts refused before writing -------------------------------------
mkdir many
truncate -s 4000000 many/big.bin   # 10,001 pieces of 400 bytes
run cut -s 400 -d many-out many/big.bin
expect_rc 1
expect_text err.txt "pieces of 400 bytes would make 10001 pieces, more than the 10000 a set can hold"
expect_text err.txt "smallest piece size that fits is 401 bytes (-s 401)"
expect_absent many-out
run cut -s 0 data.bin
expect_rc 2

# ---- standard output that cannot be written --------------------------------------
if [ -w /dev/full ]; then
  "$PARVEX" info data.c00 >/dev/full 2>err.txt
  rc=$?
  expect_rc 1
  expect_text err.txt "standard output"
fi

# ---- paths longer than 1024 bytes ---------------------------------------------
long=$(printf 'folder-with-a-long-name-%03d/' $(seq 40) | tr -d '\n')
mkdir -p "$long"
cp data.bin "$long/"
run cut -s 40K "$long/data.bin"
expect_rc 0
run join -d "$long/again" "$long/data.c00"
expect_rc 0
expect_same data.bin "$long/again/data.bin"

finish
