# Shared by the install and documentation tests: a scratch folder removed on
# exit, and checks that count failures.
set -u
export LANG=C
unset LC_ALL LC_MESSAGES

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# expect_files ROOT WANT...: the regular files under ROOT, as paths
# relative to it, are exactly WANT.
expect_files() {
  local root=$1
  shift
  local got want
  got=$(cd "$root" && find . -type f -printf '%P\n' | LC_ALL=C sort)
  want=$(printf '%s\n' "$@" | LC_ALL=C sort)
  [ "$got" = "$want" ] ||
    fail "files under $root (line ${BASH_LINENO[0]}):
$(diff <(echo "$want") <(echo "$got") | sed -n 's/^[<>]/&/p')
(< expected, > found)"
}

# expect_runs BINARY VERSION: BINARY --version prints "parvex VERSION" and
# --help lists the commands, both with exit status 0.
expect_runs() {
  local out rc
  out=$("$1" --version 2>&1)
  rc=$?
  [ "$rc" = 0 ] && [ "$out" = "parvex $2" ] ||
    fail "$1 --version: status $rc, printed \"$out\", expected \"parvex $2\""
  out=$("$1" --help 2>&1)
  rc=$?
  [ "$rc" = 0 ] || fail "$1 --help: status $rc: $out"
  local word
  for word in cut join info; do
    grep -qw -- "$word" <<<"$out" || fail "$1 --help does not list $word: $out"
  done
  # Its Japanese texts come from the catalogue installed with it, found
  # from where the binary is, whatever the prefix.
  out=$(LC_ALL= LANG=ja "$1" --help 2>&1)
  grep -q "使い方" <<<"$out" ||
    fail "$1 --help under LANG=ja is not in Japanese: $out"
}

# The files an install holds below its prefix.
installed_files() {  # one a line
  printf '%s\n' bin/parvex share/man/man1/parvex.1 \
    share/bash-completion/completions/parvex \
    share/zsh/site-functions/_parvex share/doc/parvex/README.md \
    share/locale/ja/LC_MESSAGES/parvex.mo
  if [ "${HAS_WINDOWS:-0}" = 1 ]; then
    printf '%s\n' share/parvex/windows/Parvex.exe share/parvex/windows/_sSPVX.exe
  fi
}

finish() {
  if [ "$failures" -ne 0 ]; then
    echo "$failures failure(s)" >&2
    exit 1
  fi
  echo "all checks passed"
}
