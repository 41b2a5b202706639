# PAR2 recovery data: what cut --recovery writes is what par2cmdline
# accepts and repairs with; repair, verify and join use it, and PAR2 files
# made by par2cmdline are read too.
source "$(dirname "$0")/lib.sh" "$1"
has_stub=${2:-0}

if ! command -v par2 >/dev/null; then
  echo "par2 (par2cmdline) is not installed; skipped"
  exit 77
fi

# flip comes from lib.sh.
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

# ---- repair ----------------------------------------------------------------------
# fresh DIR: a set of 5 pieces with 2 recovery slices in DIR, its pieces'
# originals in DIR.orig.
fresh() {
  rm -rf "$1" "$1.orig" && mkdir "$1" "$1.orig" && cp data.bin "$1/"
  run cut -s 64K --recovery 2 "$1/data.bin"
  expect_rc 0
  cp "$1"/data.c0* "$1.orig/"
}
# same_pieces DIR: every piece is its original.
same_pieces() {
  local f
  for f in "$1.orig"/*; do expect_same "$f" "$1/${f##*/}"; done
}

# Two pieces lost: rebuilt byte for byte, each one named.
fresh lost
rm lost/data.c01 lost/data.c03
run verify lost/data.c00
expect_rc 1
expect_text out.txt "data.c01: missing"
expect_text out.txt "data.c02: good"
expect_text out.txt "2 pieces damaged or missing; the recovery data can rebuild up to 2 pieces: run parvex repair"
LANG=ja_JP.UTF-8 run verify lost/data.c00
expect_rc 1
expect_text out.txt "data.c01: なし"
expect_text out.txt "2 個の分割ファイルが破損または欠落. リカバリデータは 2 個の分割ファイルまで復元できます"
run repair lost/data.c02
expect_rc 0
expect_text out.txt "rebuilt lost/data.c01"
expect_text out.txt "rebuilt lost/data.c03"
same_pieces lost
run verify lost/data.c00
expect_rc 0
expect_text out.txt "all 5 pieces are good"
par2_accepts lost/data.par2

# One piece damaged: rebuilt, the damaged one kept as NAME.bad.
fresh damaged
cp damaged/data.c02 damaged.c02
flip damaged/data.c02 1000
cp damaged/data.c02 flipped.c02
run repair -q damaged/data.par2
expect_rc 0
expect_text out.txt "data.c02: damaged"
expect_text out.txt "kept as damaged/data.c02.bad"
same_pieces damaged
expect_same flipped.c02 damaged/data.c02.bad

# Three lost with two recovery slices: refused, nothing changed.
fresh toomany
rm toomany/data.c00 toomany/data.c01 toomany/data.c04
flip toomany/data.c02 5
cp toomany/data.c02 flipped.c02
ls toomany >before.txt
run verify toomany/data.c03
expect_rc 1
expect_text out.txt "cannot rebuild them"
run repair -y toomany/data.c03
expect_rc 1
expect_text err.txt "nothing was changed"
ls toomany >after.txt
expect_same before.txt after.txt
expect_same flipped.c02 toomany/data.c02

# No recovery data: said so.
mkdir bare && cp data.bin bare/
run cut -s 64K bare/data.bin
run repair bare/data.c00
expect_rc 1
expect_text err.txt "no recovery data"

# par2cmdline repairs what we wrote; we repair what par2cmdline wrote.
fresh theirs
rm theirs/data.c02
flip theirs/data.c04 3
par2 repair -q theirs/data.par2 >par2.txt 2>&1 ||
  fail "par2 repair of our recovery data: $(cat par2.txt)"
same_pieces theirs
mkdir made && cp data.bin made/
run cut -s 64K --no-checksum made/data.bin
(cd made && par2 create -q -q -n1 -s65536 -r40 data.par2 data.c0? >../par2.txt 2>&1) ||
  fail "par2 create: $(cat par2.txt)"
cp made/data.c01 made.c01 && cp made/data.c03 made.c03
rm made/data.c01 && flip made/data.c03 70000
run repair -y made/data.c00
expect_rc 0
expect_same made.c01 made/data.c01
expect_same made.c03 made/data.c03
par2_accepts made/data.par2

# -d: the rebuilt pieces go there, the set stays as it is.
fresh aside
rm aside/data.c01
ls aside >before.txt
run repair -d aside.out aside/data.c00
expect_rc 0
expect_same aside.orig/data.c01 aside.out/data.c01
ls aside >after.txt
expect_same before.txt after.txt

# A name with spaces and Japanese, and a set without a checksum list.
rm "named/a b 日本語.c01"
flip "named/a b 日本語.c02" 9
run repair -y "named/a b 日本語.c00"
expect_rc 0
expect_text out.txt "rebuilt named/a b 日本語.c01"
expect_text out.txt "kept as named/a b 日本語.c02.bad"
run join -d named.out "named/a b 日本語.c03"
expect_rc 0
expect_same data.bin "named.out/$name"
mkdir nolist && cp data.bin nolist/
run cut -s 100K --no-checksum --recovery 1 nolist/data.bin
expect_rc 0
expect_absent nolist/data.sha256
par2_accepts nolist/data.par2

# ---- join of a set that lacks pieces ----------------------------------------------
fresh joinset
rm joinset/data.bin joinset/data.c03
ls -ld --time-style=full-iso joinset joinset/* >before.txt
run join -d joined joinset/data.c00
expect_rc 0
expect_text err.txt "data.c03: rebuilt from the recovery data"
expect_same data.bin joined/data.bin
ls -A joined >after.txt
[ "$(cat after.txt)" = data.bin ] || fail "the join left behind: $(cat after.txt)"
ls -ld --time-style=full-iso joinset joinset/* >after.txt
expect_same before.txt after.txt
# Into a folder two levels deep that is not there yet: made whole, as a
# join of a complete set makes it.
run join -d made/deeper joinset/data.c00
expect_rc 0
expect_same data.bin made/deeper/data.bin
# Piece 0 lost too, and the result to a named file.
rm joinset/data.c00
run join -o joined/again.bin joinset/data.c02
expect_rc 0
expect_same data.bin joined/again.bin
ls -A joined >after.txt
[ "$(tr '\n' ' ' <after.txt)" = "again.bin data.bin " ] ||
  fail "the join left behind: $(cat after.txt)"
# Standard output: rebuilt in the current folder, nothing left there.
snapshot() { ls -A | grep -v -e '^cwd\.' -e '\.txt$'; }
snapshot >cwd.before
ls -ld --time-style=full-iso joinset joinset/* >before.txt
run join -o - joinset/data.c02
expect_rc 0
expect_same data.bin out.txt
ls -ld --time-style=full-iso joinset joinset/* >after.txt
expect_same before.txt after.txt
snapshot >cwd.after
expect_same cwd.before cwd.after
# --no-repair refuses as a join without recovery data does.
run join --no-repair -d refused joinset/data.c02
expect_rc 1
expect_text err.txt "joinset/data.c00: No such file"
expect_absent refused/data.bin
# More lost than the recovery data rebuilds: refused, nothing left.
rm joinset/data.c01
run join -d toolittle joinset/data.c02
expect_rc 1
expect_text err.txt "cannot be rebuilt"
[ -z "$(ls -A toolittle 2>/dev/null)" ] || fail "toolittle: $(ls -A toolittle)"

# A piece only the checksum list finds damaged: the join starts again from
# the piece rebuilt for it, and the set's folder stays as it was (the
# damaged piece too, until parvex repair).
fresh listed
flip listed/data.c02 17
cp listed/data.c02 listed.flipped
(cd listed && ls -A | sort) >listed.before
run join -d listed.out listed/data.c00
expect_rc 0
expect_text err.txt "data.c02: damaged"
expect_text err.txt "listed/data.par2: the set has recovery data"
expect_text err.txt "data.c02: rebuilt from the recovery data"
expect_same data.bin listed.out/data.bin
(cd listed && ls -A | sort) >listed.after
cmp -s listed.before listed.after ||
  fail "the join changed the set's folder: $(diff listed.before listed.after)"
expect_same listed.flipped listed/data.c02
[ -z "$(ls -A listed.out | grep -v '^data.bin$')" ] ||
  fail "listed.out holds more than the result: $(ls -A listed.out)"
# Standard output has the bytes already: no second start, the hint instead.
IN=/dev/null "$PARVEX" join -o - listed/data.c00 >/dev/null 2>err.txt </dev/null
[ $? = 1 ] || fail "join -o - of a damaged piece did not fail"
expect_text err.txt "listed/data.par2: the set has recovery data"
run repair listed/data.c00
expect_rc 0
run join -d listed.out2 listed/data.c00
expect_rc 0
expect_same data.bin listed.out2/data.bin

finish
