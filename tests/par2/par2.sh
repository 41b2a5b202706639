# PAR2 recovery data against par2cmdline, the referee: it accepts every set
# we write and repairs with it; we repair what it wrote; both rebuild the
# same bytes, and both refuse when too much is lost.
#   par2.sh PAR2_TOOL
set -u
TOOL=$1
export LANG=C.UTF-8
command -v par2 >/dev/null || { echo "par2 (par2cmdline) is not installed"; exit 1; }

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cd "$WORK" || exit 1
failures=0
fail() {
  echo "FAIL: $* (line ${BASH_LINENO[0]})" >&2
  failures=$((failures + 1))
}

# make_set DIR COUNT SIZE N [NAME]: COUNT pieces of SIZE random bytes (the
# last one shorter) and our PAR2 files with N recovery slices.
make_set() {
  local dir=$1 count=$2 size=$3 n=$4 name=${5:-base} i
  mkdir -p "$dir"
  head -c $((count * size - size / 3)) /dev/urandom >"$dir/.whole"
  (cd "$dir" && split -a 3 -d -b "$size" .whole "$name.c" && rm .whole &&
   "$TOOL" create "$name.par2" "$n" "$name".c* >/dev/null) ||
    fail "create in $dir"
}

# snapshot DIR: every file's name, size and MD5.
snapshot() { (cd "$1" && find . -type f -exec md5sum {} + | sort); }

# referee DIR STEM: par2cmdline's verdict on the set.
par2_ok() { (cd "$1" && par2 verify -q "$2.par2" >/dev/null 2>&1); }

# ---- par2 verify accepts what we write -----------------------------------
make_set one 1 100001 1
par2_ok one base || fail "par2 verify refuses a set of 1 piece"
ls one/base.vol0+1.par2 >/dev/null 2>&1 || fail "the recovery file is not named base.vol0+1.par2"

make_set many 250 1000 5 "名前 with spaces"
par2_ok many "名前 with spaces" || fail "par2 verify refuses 250 pieces with a Japanese and spaced name"
"$TOOL" verify "many/名前 with spaces.par2" >/dev/null || fail "our verify refuses the 250 pieces"

# ---- lost pieces: both repairs rebuild the same bytes ----------------------
# case NAME N ACTION: a fresh set of 8 pieces with N recovery slices, harmed
# by ACTION (run in the set's folder), repaired by par2cmdline in one copy
# and by us in another.
case_both() {
  local name=$1 n=$2 action=$3
  make_set "$name.orig" 8 65536 "$n"
  cp -r "$name.orig" "$name.ref"
  cp -r "$name.orig" "$name.ours"
  (cd "$name.ref" && eval "$action")
  (cd "$name.ours" && eval "$action")
  (cd "$name.ref" && par2 repair -q base.par2 >/dev/null 2>&1) ||
    fail "$name: par2 repair fails"
  "$TOOL" repair "$name.ours/base.par2" >/dev/null || fail "$name: our repair fails"
  local f
  for f in "$name.orig"/base.c*; do
    cmp -s "$f" "$name.ref/${f##*/}" || fail "$name: par2 repair did not rebuild ${f##*/}"
    cmp -s "$f" "$name.ours/${f##*/}" || fail "$name: our repair did not rebuild ${f##*/}"
  done
  "$TOOL" verify "$name.ours/base.par2" >/dev/null || fail "$name: not good after our repair"
}
case_both deleted 3 'rm base.c001 base.c004 base.c007'
case_both damaged 2 'printf XX | dd of=base.c002 bs=1 seek=100 conv=notrunc 2>/dev/null; printf YY | dd of=base.c005 bs=1 seek=65000 conv=notrunc 2>/dev/null'
case_both truncated 1 'truncate -s 1000 base.c003'
ls damaged.ours/base.c002.bad damaged.ours/base.c005.bad >/dev/null 2>&1 ||
  fail "our repair did not keep the damaged pieces as NAME.bad"
ls deleted.ours/*.part >/dev/null 2>&1 && fail "our repair left .part files"

# ---- one lost piece too many: both refuse, we change nothing --------------
make_set toomany 8 65536 2
(cd toomany && rm base.c000 base.c003 && printf ZZ | dd of=base.c006 bs=1 seek=9 conv=notrunc 2>/dev/null)
cp -r toomany toomany.ref
before=$(snapshot toomany)
"$TOOL" repair toomany/base.par2 >/dev/null 2>err.txt && fail "our repair of 3 lost pieces with 2 recovery slices succeeds"
grep -q "nothing was changed" err.txt || fail "our refusal does not say so: $(cat err.txt)"
[ "$(snapshot toomany)" = "$before" ] || fail "our failed repair changed files"
(cd toomany.ref && par2 repair -q base.par2 >/dev/null 2>&1) && fail "par2 repair of 3 lost pieces with 2 recovery slices succeeds"

# ---- a set that par2cmdline made: its slice size, several per piece ------
mkdir theirs
head -c 900000 /dev/urandom >theirs/.whole
(cd theirs && split -a 2 -d -b 200000 .whole p.c && rm .whole && cp p.c01 ../theirs.c01 &&
 cp p.c03 ../theirs.c03 && par2 create -q -s16384 -c20 p.par2 p.c* >/dev/null 2>&1) ||
  fail "par2 create"
(cd theirs && rm p.c01 && printf QQ | dd of=p.c03 bs=1 seek=50000 conv=notrunc 2>/dev/null)
"$TOOL" repair theirs/p.par2 >/dev/null || fail "our repair of par2cmdline's set fails"
cmp -s theirs.c01 theirs/p.c01 || fail "p.c01 of par2cmdline's set not rebuilt"
cmp -s theirs.c03 theirs/p.c03 || fail "p.c03 of par2cmdline's set not rebuilt"
par2_ok theirs p || fail "par2 verify refuses par2cmdline's set after our repair"

# ---- damaged PAR2 files: the others still serve ----------------------------
make_set hurt 8 65536 3
cp hurt/base.c002 hurt.c002
# The index and the file with slice 0 damaged; slices 1 and 2 (vol1+2)
# and the copy of the index's packets there remain.
printf 'garbage garbage' | dd of=hurt/base.par2 bs=1 seek=70 conv=notrunc 2>/dev/null
printf 'garbage garbage' | dd of=hurt/base.vol0+1.par2 bs=1 seek=5000 conv=notrunc 2>/dev/null
rm hurt/base.c002
cp -r hurt hurt.ref
"$TOOL" repair hurt/base.par2 >/dev/null || fail "our repair with a damaged index and recovery file fails"
cmp -s hurt.c002 hurt/base.c002 || fail "base.c002 not rebuilt with damaged PAR2 files"
(cd hurt.ref && par2 repair -q base.par2 >/dev/null 2>&1) || fail "par2 repair with a damaged recovery file fails"

# ---- -d DIR: the set is left as it is ------------------------------------
make_set ro 4 30000 1
cp ro/base.c001 ro.c001
rm ro/base.c001
mkdir out
before=$(snapshot ro)
"$TOOL" repair ro/base.par2 -d out >/dev/null || fail "repair into another folder fails"
cmp -s ro.c001 out/base.c001 || fail "base.c001 not rebuilt into out/"
[ "$(snapshot ro)" = "$before" ] || fail "repair into another folder changed the set"

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)" >&2
  exit 1
fi
echo "all PAR2 checks passed"
