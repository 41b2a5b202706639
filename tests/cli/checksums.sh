# The checksum list: what a cut writes is what sha256sum -c accepts, a join
# and verify catch every kind of damage and name it, lists made by coreutils
# are read, and malformed lists give clear errors.
source "$(dirname "$0")/lib.sh" "$1"
has_stub=${2:-0}

# flip comes from lib.sh.
# damaged_join DIR PIECE NAME: a join that must fail and name NAME, with the
# result only under NAME.part.
damaged_join() {
  run join -y -d "$1" "$2"
  expect_rc 1
  expect_text err.txt "$3"
  expect_text err.txt "lists"
  expect_absent "$1/data.bin"
}

random_file data.bin 300000

# ---- the list is sha256sum's ---------------------------------------------------
mkdir plain && cp data.bin plain/
run cut -s 100K plain/data.bin
expect_rc 0
expect_text plain/data.sha256 "  data.c00"
[ "$(wc -l <plain/data.sha256)" = 4 ] || fail "plain/data.sha256 has not 3 pieces and the source"
(cd plain && sha256sum -c --ignore-missing --strict data.sha256 >/dev/null 2>&1) ||
  fail "sha256sum -c refuses plain/data.sha256"
run join -d joined plain/data.c02
expect_rc 0
expect_same data.bin joined/data.bin
cp plain/data.sha256 joined/
(cd joined && sha256sum -c --ignore-missing --strict data.sha256 >/dev/null 2>&1) ||
  fail "sha256sum -c refuses the joined file"
run info plain/data.c00
expect_text out.txt "checksum list: data.sha256"
run cut --no-checksum -s 100K -d nolist data.bin
expect_rc 0
expect_absent nolist/data.sha256

# Names with spaces and Japanese names, and pieces renamed mid-set.
mkdir named && cp data.bin "named/my report.bin" && cp data.bin "named/報告書.bin"
run cut -s 100K "named/my report.bin"
expect_rc 0
run cut -s 100K "named/報告書.bin"
expect_rc 0
(cd named && sha256sum -c --ignore-missing --strict "my report.sha256" >/dev/null 2>&1 &&
  sha256sum -c --ignore-missing --strict "報告書.sha256" >/dev/null 2>&1) ||
  fail "sha256sum -c refuses a list with spaces or Japanese names"
if [ "$has_stub" = 1 ]; then
  mkdir self && cp data.bin self/setup.exe && touch self/_sSetup.c02
  run cut -y -x -s 100K self/setup.exe
  expect_rc 0
  expect_text self/__sSetup.sha256 "  __sSetup.c02"
  [ ! -s self/_sSetup.c02 ] || fail "the stale piece self/_sSetup.c02 was written"
  (cd self && sha256sum -c --ignore-missing --strict __sSetup.sha256 >/dev/null 2>&1) ||
    fail "sha256sum -c refuses the list of a self-joining set with renamed pieces"
  mkdir stubset && cp data.bin stubset/
  run cut -x -s 100K stubset/data.bin
  expect_rc 0
  flip stubset/_sData.exe 100   # inside the stub program
  damaged_join stub-out stubset/_sData.exe "_sData.exe: damaged"
  run verify stubset/_sData.exe
  expect_rc 1
  expect_text out.txt "damaged"
fi

# ---- damage is caught and named -------------------------------------------------
for k in 0 1 2; do
  rm -rf "d$k" && cp -r plain "d$k"
  flip "d$k/data.c0$k" 1000
  damaged_join "d$k-out" "d$k/data.c00" "data.c0$k: damaged"
  [ -s "d$k-out/data.bin.part" ] || fail "the result of d$k is not kept in data.bin.part"
  expect_text err.txt "stays in d$k-out/data.bin.part"
  run verify "d$k/data.c00"
  expect_rc 1
  expect_text out.txt "data.c0$k"
  expect_text out.txt "damaged"
  expect_text out.txt "FAILED"
done

# A truncated piece.
rm -rf short && cp -r plain short && truncate -s 50000 short/data.c01
run join -y -d short-out short/data.c00
expect_rc 1
expect_absent short-out/data.bin
run verify short/data.c00
expect_rc 1
expect_text out.txt "short"

# A piece of an earlier cut of another file of the same size.
random_file other.bin 300000
mkdir mixed && cp other.bin mixed/data.bin && run cut -s 100K mixed/data.bin
cp plain/data.c00 plain/data.c02 plain/data.sha256 mixed/
damaged_join mixed-out mixed/data.c00 "data.c01: damaged"

# A list with a wrong digest for the source.
rm -rf wrong && cp -r plain wrong
awk 'NR == 4 { $0 = (substr($0, 1, 1) == "0" ? "1" : "0") substr($0, 2) } { print }' \
  plain/data.sha256 >wrong/data.sha256
run join -y -d wrong-out wrong/data.c00
expect_rc 1
expect_text err.txt "the joined bytes have SHA-256"
expect_absent wrong-out/data.bin
[ -s wrong-out/data.bin.part ] || fail "the result is not kept in wrong-out/data.bin.part"
# Into standard output the bytes are gone by then, but the status says so.
"$PARVEX" join -o - wrong/data.c00 </dev/null >piped.bin 2>err.txt
rc=$?
expect_rc 1
expect_text err.txt "standard output: the joined bytes have SHA-256"
expect_text err.txt "for data.bin"
run join -y --no-verify -d wrong-out wrong/data.c00
expect_rc 0
expect_same data.bin wrong-out/data.bin

# ---- lists made by sha256sum --------------------------------------------------
mkdir theirs && cp plain/data.c0* theirs/
for form in "" "-b" "--tag"; do
  (cd theirs && sha256sum $form data.c00 data.c01 data.c02 >data.sha256 &&
    sha256sum $form ../data.bin | sed 's|\.\./||' >>data.sha256)
  run join -y -d "theirs-out" theirs/data.c00
  expect_rc 0
  expect_same data.bin theirs-out/data.bin
  expect_no_text err.txt "not covered"
done
# A line missing: the piece is not covered (a warning, not a failure).
sed -i '/data.c01/d' theirs/data.sha256
run join -y -d theirs-out theirs/data.c00
expect_rc 0
expect_text err.txt "data.c01: not covered by"

# ---- malformed lists ---------------------------------------------------------------
bad() {  # bad CONTENT-MAKER TEXT: the join refuses the list, naming it
  rm -rf badset && cp -r plain badset
  "$1" >badset/data.sha256
  run join -y -d bad-out badset/data.c00
  expect_rc 1
  expect_text err.txt "data.sha256"
  expect_text err.txt "$2"
  expect_absent bad-out/data.bin
}
badhex() { printf '%064d  data.c00\nzz%062d  data.c01\n' 0 0; }
noname() { printf '%064d  \n' 0; }
empty() { :; }
binary() { head -c 2000 /dev/urandom; printf '\0'; }
longline() { head -c 1048576 /dev/zero | tr '\0' 'a'; }
bad badhex "line 2"
bad noname "line 1"
bad empty "data.sha256"
bad binary "data.sha256"
bad longline "line 1"

# ---- verify without a list ----------------------------------------------------------
run verify nolist/data.c00
expect_rc 0
expect_text out.txt "no checksum list found"

# ---- Ctrl-C during verify -------------------------------------------------------------
# Three sparse pieces of 1 GiB: reading them takes seconds, Ctrl-C ends it at
# once with status 130.
mkdir huge
head -c 284 plain/data.c00 >huge/h.c00
printf 'h.bin\0' | dd of=huge/h.c00 bs=1 seek=20 conv=notrunc status=none
printf '\xe4\xfe\xff\xbf' | dd of=huge/h.c00 bs=1 seek=16 conv=notrunc status=none
truncate -s 1G huge/h.c00 && truncate -s 1G huge/h.c01 && truncate -s 1G huge/h.c02
printf '%064d  h.c00\n' 0 >huge/h.sha256
run info huge/h.c00
expect_rc 0
"$PARVEX" verify huge/h.c00 </dev/null >out.txt 2>err.txt &
pid=$!
sleep 0.3
kill -INT "$pid"
start=$SECONDS
reap "$pid" 10
expect_rc 130
[ $((SECONDS - start)) -le 2 ] || fail "verify took more than 2 s to stop after Ctrl-C"

finish
