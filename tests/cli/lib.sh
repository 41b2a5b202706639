# Shared by the parvex tests: a scratch folder, running parvex with its
# output captured, and checks that count failures.
#   source lib.sh PARVEX
set -u
PARVEX=$1
export LANG=C
unset LC_ALL LC_MESSAGES

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cd "$WORK" || exit 1
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# run ARGS...: runs parvex with standard input from /dev/null (or from $IN
# when set); leaves the exit status in $rc, standard output in out.txt and
# standard error in err.txt.
run() {
  "$PARVEX" "$@" <"${IN:-/dev/null}" >out.txt 2>err.txt
  rc=$?
}

# expect_rc WANT: checks the status of the last run.
expect_rc() {
  [ "$rc" = "$1" ] ||
    fail "exit status $rc, expected $1 (line ${BASH_LINENO[0]}); stderr: $(cat err.txt)"
}

# expect_text FILE TEXT / expect_no_text FILE TEXT
expect_text() {
  grep -qF -- "$2" "$1" ||
    fail "$1 lacks \"$2\" (line ${BASH_LINENO[0]}): $(cat "$1")"
}
expect_no_text() {
  ! grep -qF -- "$2" "$1" ||
    fail "$1 holds \"$2\" (line ${BASH_LINENO[0]}): $(cat "$1")"
}

# expect_same A B: byte-for-byte equal files.
expect_same() {
  cmp -s "$1" "$2" || fail "$2 differs from $1 (line ${BASH_LINENO[0]})"
}

# expect_size FILE BYTES
expect_size() {
  local got
  got=$(stat -c %s "$1" 2>/dev/null || echo missing)
  [ "$got" = "$2" ] || fail "$1 is $got bytes, expected $2 (line ${BASH_LINENO[0]})"
}

# expect_absent PATH...
expect_absent() {
  local f
  for f in "$@"; do
    [ ! -e "$f" ] || fail "$f exists (line ${BASH_LINENO[0]})"
  done
}

# random_file NAME BYTES
random_file() {
  head -c "$2" /dev/urandom >"$1"
}

finish() {
  if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
  fi
  echo "all checks passed"
}

# ---- shared by the scripts that craft sets and drive parvex from outside -----

# put FILE OFFSET BYTES: writes printf-escaped BYTES at OFFSET.
put() { printf "$3" | dd of="$1" bs=1 seek=$(($2)) conv=notrunc status=none; }
# le32 N: N as four little-endian printf escapes.
le32() { printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($1 & 255)) $(($1 >> 8 & 255)) \
  $(($1 >> 16 & 255)) $(($1 >> 24 & 255)); }
# header FILE NAME SOURCE_SIZE [HEADER_SIZE]: a piece 0 with only its header
# (NAME printf-escaped, written as it is into the code page 932 name field).
header() {
  head -c 284 /dev/zero >"$1"
  put "$1" 0 '@PARVEX '
  put "$1" 8 "$(le32 "${4:-284}" | cut -c1-8)"
  put "$1" 10 '\x02\x01\xff'
  put "$1" 16 "$(le32 "$3")"
  put "$1" 20 "$2"
}
# flip FILE OFFSET: changes one byte.
flip() {
  local old
  old=$(dd if="$1" bs=1 skip="$2" count=1 status=none | od -An -tu1 | tr -d ' ')
  printf "\\x$(printf %02x $(((old + 1) % 256)))" |
    dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}
# wait_for FILE TEXT [COUNT] [SECONDS]: waits until FILE holds TEXT COUNT
# times (default 1), at most SECONDS (default 10); fails the test and
# returns 1 when it never does.
wait_for() {
  local n=${3:-1} tries=$((${4:-10} * 20)) got
  while [ "$tries" -gt 0 ]; do
    got=$(grep -oF -- "$2" "$1" 2>/dev/null | wc -l)
    [ "$got" -ge "$n" ] && return 0
    sleep 0.05
    tries=$((tries - 1))
  done
  fail "\"$2\" did not appear $n time(s) in $1 within ${4:-10}s (line ${BASH_LINENO[0]}): $(tail -c 600 "$1" 2>/dev/null)"
  return 1
}
# reap PID [SECONDS]: waits for a background parvex at most SECONDS (default
# 10), killing it when it is still there; leaves its status in $rc (124
# when it had to be killed).
reap() {
  local tries=$((${2:-10} * 20))
  while kill -0 "$1" 2>/dev/null && [ "$tries" -gt 0 ]; do
    sleep 0.05
    tries=$((tries - 1))
  done
  if kill -0 "$1" 2>/dev/null; then
    kill -KILL "$1" 2>/dev/null
    wait "$1" 2>/dev/null
    rc=124
    fail "a background parvex (pid $1) still ran after ${2:-10}s (line ${BASH_LINENO[0]})"
    return 1
  fi
  wait "$1"
  rc=$?
}
# tree: every path under the working folder with its type and size (the
# scratch files out.txt, err.txt and *.tree left out), to show what a command
# changed: tree >before.tree; ...; tree >after.tree.
tree() {
  find . \( -path ./out.txt -o -path ./err.txt -o -path './*.tree' \) -prune -o \
    -printf '%p %y %s\n' | sort
}
