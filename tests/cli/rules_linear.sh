# No step costs more than linear time: the file system calls of info,
# verify, join and cut (counted with strace) do not grow with unrelated
# files in the folder, and grow no faster than the number of pieces.
#   rules_linear.sh PARVEX HAS_STUB
source "$(dirname "$0")/lib.sh" "$1"

if ! command -v strace >/dev/null 2>&1; then
  echo "skipped: strace is not installed (scripts/deps.sh test installs it)"
  exit 77
fi
if ! strace -f -o /dev/null true >/dev/null 2>&1; then
  echo "skipped: strace is not permitted here (ptrace denied)"
  exit 77
fi

# calls ARGS...: the number of file system calls, reads and folder reads
# (getdents64: a folder scanned per piece shows here) of parvex ARGS
# (a run that fails counts as a failure of the test).
calls() {
  timeout 30 strace -f -qq -o trace.log -e trace=%file,read,getdents64 "$PARVEX" "$@" \
    </dev/null >out.txt 2>err.txt
  local status=$?
  [ "$status" = 0 ] || fail "parvex $* under strace: status $status; stderr: $(head -c 300 err.txt)"
  grep -c . trace.log
}
# make_set DIR PIECES: a set of PIECES pieces of 1000 bytes in DIR, with
# its list, and its source as DIR.bin.
make_set() {
  mkdir -p "$1"
  random_file "$1.bin" $(($2 * 1000 - 284 - 500))
  cp "$1.bin" "$1/data.bin"
  "$PARVEX" cut -s 1000 "$1/data.bin" </dev/null >/dev/null 2>&1 ||
    fail "the cut of $2 pieces into $1 failed"
  rm "$1/data.bin"
  [ -f "$1/data.c$(printf %02d $(($2 - 1)))" ] || fail "$1 does not hold $2 pieces"
}
# measure DIR: the counts of the four commands on the set in DIR, one line
# each: "info N", "verify N", "join N", "cut N".
measure() {
  rm -rf "$1/out" "$1/cut"
  echo "info $(calls info "$1/data.c00")"
  echo "verify $(calls verify "$1/data.c00")"
  echo "join $(calls join -y -d "$1/out" "$1/data.c00")"
  cp "$1.bin" "$1/src.bin"
  echo "cut $(calls cut -y --no-checksum -s 1000 -d "$1/cut" "$1/src.bin")"
  rm -rf "$1/out" "$1/cut" "$1/src.bin"
}

# ---- 50 pieces alone, and among 20000 unrelated files --------------------------
make_set alone 50
make_set crowd 50
(cd crowd && seq -f 'unrelated-%05g.dat' 20000 | xargs touch)
mkdir -p crowd/cut && (cd crowd/cut && seq -f 'other-%05g.dat' 20000 | xargs touch)
measure alone >alone.counts
# The cut writes among 20000 files too.
rm -rf crowd/out
echo "info $(calls info crowd/data.c00)" >crowd.counts
echo "verify $(calls verify crowd/data.c00)" >>crowd.counts
echo "join $(calls join -y -d crowd crowd/data.c00)" >>crowd.counts
cp crowd.bin crowd/src.bin
echo "cut $(calls cut -y --no-checksum -s 1000 -d crowd/cut crowd/src.bin)" >>crowd.counts
while read -r cmd few; do
  many=$(awk -v c="$cmd" '$1 == c { print $2 }' crowd.counts)
  [ "$many" -le $((few + few / 5 + 50)) ] ||
    fail "$cmd: $many file system calls among 20000 unrelated files, $few without them"
done <alone.counts

# ---- 25, 50 and 100 pieces ---------------------------------------------------------
make_set p25 25
make_set p50 50
make_set p100 100
measure p25 >p25.counts
measure p50 >p50.counts
measure p100 >p100.counts
while read -r cmd c25; do
  c50=$(awk -v c="$cmd" '$1 == c { print $2 }' p50.counts)
  c100=$(awk -v c="$cmd" '$1 == c { print $2 }' p100.counts)
  [ $((c100 * 10)) -lt $((c25 * 45)) ] ||
    fail "$cmd: $c25 calls for 25 pieces, $c50 for 50, $c100 for 100 (more than 4.5 times)"
  [ "$c50" -le "$c100" ] || fail "$cmd: fewer calls for 100 pieces ($c100) than for 50 ($c50)"
done <p25.counts
echo "calls for 25/50/100 pieces:"
paste p25.counts p50.counts p100.counts | awk '{ print "  " $1 ": " $2 " / " $4 " / " $6 }'
echo "calls alone/among 20000 files:"
paste alone.counts crowd.counts | awk '{ print "  " $1 ": " $2 " / " $4 }'

finish
