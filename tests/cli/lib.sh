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
