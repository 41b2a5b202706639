# A signal that ends parvex leaves what Ctrl-C leaves: what was written in
# NAME.part (never an empty one), nothing when nothing was written, the
# message that says where it stays, and the status 130 for SIGINT, 128+N
# for the others. A reader that goes away (SIGPIPE on standard output) ends
# a join at once, as a failure that names standard output.
#   rules_signals.sh PARVEX HAS_STUB
source "$(dirname "$0")/lib.sh" "$1"

random_file big.bin 5000000
run cut -s 1M -d set big.bin
expect_rc 0
mkfifo feed

# status_for SIGNAL: the status a run ended by SIGNAL must have.
status_for() {
  case $1 in
    INT) echo 130 ;;
    *) echo $((128 + $(kill -l "$1"))) ;;
  esac
}
# no_empty_part: no .part of length 0 anywhere.
no_empty_part() {
  local empty
  empty=$(find . -name '*.part' -size 0 | tr '\n' ' ')
  [ -z "$empty" ] || fail "$1: empty .part files left: $empty"
}
# paused SIGNAL PROMPTS OUTDIR ARGS...: runs parvex ARGS with standard input
# from the FIFO, answers the first PROMPTS disk prompts, sends SIGNAL while
# the next one waits, and leaves the status in $rc.
paused() {
  local sig=$1 enters=$2 k
  shift 2
  "$PARVEX" "$@" <feed >out.txt 2>err.txt &
  local pid=$!
  exec 3>feed
  for k in $(seq "$enters"); do
    wait_for err.txt "Insert disk $k" || break
    echo >&3
  done
  wait_for err.txt "Insert disk $((enters + 1))"
  kill -"$sig" "$pid"
  reap "$pid" 10
  exec 3>&-
}

# outcome DIR: what a run left in DIR (names and sizes) and whether it said
# where the data stays, with DIR itself left out of the text.
outcome() {
  (cd "$1" 2>/dev/null && find . -type f -printf '%p %s\n' | sort)
  grep -q "what was written stays in" err.txt && echo "(said where it stays)"
}

# Each scenario runs once per signal; SIGINT's run is the reference.
scenario_join3() { paused "$1" 2 join -p -d "$2" set/big.c00; }
scenario_join1() { paused "$1" 0 join -p -d "$2" set/big.c00; }
scenario_cut3() { paused "$1" 2 cut -p -s 1M -d "$2" big.bin; }
scenario_cut1() { paused "$1" 0 cut -p -s 1M -d "$2" big.bin; }
# cut - from a pipe that stalls after 1.5 MB (1 MB in piece 0, the rest in
# piece 1 when the signal comes).
scenario_stream() {
  rm -f slow && mkfifo slow
  (head -c 1500000 big.bin && exec sleep 30) >slow &
  local feeder=$! pid tries=100
  "$PARVEX" cut - --name big.bin -s 1M -d "$2" <slow >out.txt 2>err.txt &
  pid=$!
  while [ "$tries" -gt 0 ] &&
        [ "$(cat "$2"/* 2>/dev/null | wc -c)" -lt 1500000 ]; do
    sleep 0.05
    tries=$((tries - 1))
  done
  [ "$tries" -gt 0 ] || fail "cut - had not written 1.5 MB after 5 s: $(ls -l "$2" 2>&1 | tr '\n' ' ')"
  kill -"$1" "$pid"
  reap "$pid" 10
  kill "$feeder" 2>/dev/null
  wait "$feeder" 2>/dev/null
}

for scenario in join3 join1 cut3 cut1 stream; do
  for sig in INT TERM HUP; do
    dir="$scenario-$sig"
    "scenario_$scenario" "$sig" "$dir"
    want=$(status_for "$sig")
    [ "$rc" = "$want" ] ||
      fail "$scenario ended by SIG$sig: status $rc, expected $want; stderr: $(tail -c 300 err.txt)"
    no_empty_part "$scenario ended by SIG$sig"
    expect_no_text out.txt "concatinated"
    expect_no_text out.txt "cut into"
    outcome "$dir" >"$dir.outcome"
    if [ "$sig" = INT ]; then
      # What Ctrl-C leaves: data that was written, in .part, and says so.
      case $scenario in
        join3 | stream)
          grep -q '\.part [1-9]' "$dir.outcome" ||
            fail "$scenario ended by Ctrl-C left no .part with data: $(tr '\n' ' ' <"$dir.outcome")"
          grep -q 'said where' "$dir.outcome" ||
            fail "$scenario ended by Ctrl-C did not say where the data stays: $(tail -c 300 err.txt)" ;;
        join1 | cut1)
          [ ! -s "$dir.outcome" ] ||
            fail "$scenario ended by Ctrl-C before any piece left: $(tr '\n' ' ' <"$dir.outcome")" ;;
      esac
    else
      cmp -s "$scenario-INT.outcome" "$dir.outcome" ||
        fail "$scenario ended by SIG$sig left $(tr '\n' ' ' <"$dir.outcome"), Ctrl-C left $(tr '\n' ' ' <"$scenario-INT.outcome")"
    fi
  done
done

# ---- a reader that goes away ----------------------------------------------------
# SIGPIPE as the shell leaves it by default, whatever this script inherited.
default_pipe=()
env --default-signal=PIPE true 2>/dev/null && default_pipe=(env --default-signal=PIPE)
start=$SECONDS
"${default_pipe[@]}" timeout 10 "$PARVEX" join -o - set/big.c00 2>err.txt </dev/null | head -c 10 >/dev/null
rc=${PIPESTATUS[0]}
[ "$rc" != 124 ] || fail "join -o - into a closed pipe still ran after 10 s"
[ "$rc" != 0 ] || fail "join -o - into a pipe closed after 10 bytes exits 0"
[ $((SECONDS - start)) -le 5 ] || fail "join -o - into a closed pipe took $((SECONDS - start)) s"
expect_text err.txt "standard output"
expect_absent set/big.bin set/big.bin.part big.bin.part
no_empty_part "join -o - into a closed pipe"

finish
