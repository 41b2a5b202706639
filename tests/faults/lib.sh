# The fault tests' additions to the parvex tests' lib.sh: every run under a
# time limit (a run that does not end is a failure: it loops or waits),
# runs in the background answering the pause prompts, skipping, and checks
# of what a failed run left on disk.
#   source lib.sh PARVEX
source "$(dirname "${BASH_SOURCE[0]}")/../cli/lib.sh" "$1"

LIMIT=${PVX_FAULT_LIMIT:-30}  # seconds

CLEANUP=()  # commands run at exit, before the scratch folder goes
trap 'for c in "${CLEANUP[@]}"; do eval "$c"; done; cd /; rm -rf "$WORK"' EXIT

# A case that cannot run here: CTest reports the test as skipped.
skip() {
  echo "SKIPPED: $*"
  exit 77
}

ended() {
  [ "$rc" != 124 ] && [ "$rc" != 137 ] ||
    fail "parvex $1 did not end within $LIMIT s (line ${BASH_LINENO[1]})"
  echo "parvex $1 -> exit $rc: $(cat err.txt)"
}

# run ARGS...: as in lib.sh, under the time limit, as the user $AS names.
run() {
  ${AS:-} timeout -k 5 "$LIMIT" "$PARVEX" "$@" <"${IN:-/dev/null}" \
    >out.txt 2>err.txt
  rc=$?
  ended "$*"
}

# start ARGS...: parvex in the background, its standard input a fifo;
# answer presses Enter at a prompt, finish_run waits for the end.
start() {
  rm -f in.fifo && mkfifo in.fifo
  timeout -k 5 "$LIMIT" "$PARVEX" "$@" <in.fifo >out.txt 2>err.txt &
  run_pid=$!
  run_args="$*"
  exec 3>in.fifo
}
answer() { echo >&3; }
finish_run() {
  exec 3>&-
  wait "$run_pid"
  rc=$?
  ended "$run_args"
}

# wait_for TEXT: waits until standard error holds TEXT (a prompt).
wait_for() {
  local i
  for ((i = 0; i < LIMIT * 10; i++)); do
    grep -qF -- "$1" err.txt 2>/dev/null && return 0
    sleep 0.1
  done
  fail "no \"$1\" within $LIMIT s (line ${BASH_LINENO[0]}): $(cat err.txt)"
  return 1
}

# expect_data FILE SOURCE OFFSET: FILE is SOURCE's bytes from OFFSET on, for
# FILE's whole length, and not empty.
expect_data() {
  local n
  n=$(stat -c %s "$1" 2>/dev/null) && [ "$n" != 0 ] &&
    cmp -s "$1" <(tail -c +$(($3 + 1)) "$2" | head -c "$n") ||
    fail "$1 is not a part of $2 from byte $3 on (line ${BASH_LINENO[0]})"
}

# expect_piece0 PIECE SOURCE: a header, then SOURCE's first bytes.
expect_piece0() {
  [ "$(head -c 8 "$1")" = "@PARVEX " ] ||
    fail "$1 does not start with a piece header (line ${BASH_LINENO[0]})"
  tail -c +285 "$1" >piece0.data
  expect_data piece0.data "$2" 0
}
