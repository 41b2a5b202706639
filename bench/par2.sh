#!/usr/bin/env bash
# Times our PAR2 recovery data against par2cmdline on one random file, page
# cache warm. A bench, not a test: it prints figures and checks results,
# and judges nothing.
#
#   bash bench/par2.sh
#
# Settings (environment):
#   SIZE_MIB   size of the random file in MiB (512)
#   PIECE      piece size in bytes (8 MiB); the slice size is the same
#   RECOVERY   recovery slices (4)
#   PAIRS      timed rounds (5)
#   TOOL       the PAR2 test driver (build/tests/par2/pvx_par2_tool)
#   BENCH_DIR  where the scratch folder goes ($TMPDIR or /tmp)
#
# Method. Round after round, ours runs first and par2cmdline second, so a
# slow spell of the shared machine falls on both. Every run works in a new
# folder and writes new files; `sync` runs untimed before each timed
# command. Timed:
#   create   split -b PIECE, then our create          (pieces + PAR2 files)
#       vs   split -b PIECE, then par2 create -s PIECE -c RECOVERY
#   create alone: the same without the split
#   repair   two pieces deleted from the set; our repair vs par2 repair
#            (each on a copy of the set it made)
# Each command runs under /usr/bin/time for its peak RSS. Medians are printed
# with their range (min..max) over the rounds, and the ratios per round.
set -euo pipefail
SIZE_MIB=${SIZE_MIB:-512}
PIECE=${PIECE:-8388608}
RECOVERY=${RECOVERY:-4}
PAIRS=${PAIRS:-5}
ROOT=$(cd "$(dirname "$0")/.." && pwd)
TOOL=${TOOL:-$ROOT/build/tests/par2/pvx_par2_tool}
[ -x "$TOOL" ] || { echo "build it: cmake --build build --target pvx_par2_tool" >&2; exit 1; }
command -v par2 >/dev/null || { echo "par2 (par2cmdline) is not installed" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "GNU time (/usr/bin/time) is not installed" >&2; exit 1; }

SCRATCH=$(mktemp -d "${BENCH_DIR:-${TMPDIR:-/tmp}}/pvx_par2_bench.XXXXXX")
trap 'rm -rf "$SCRATCH"' EXIT
head -c $((SIZE_MIB * 1048576)) /dev/urandom >"$SCRATCH/src"
pieces=$(( (SIZE_MIB * 1048576 + PIECE - 1) / PIECE ))
lost=$(printf 'p.c%03d p.c%03d' 1 $((pieces - 2)))

# timed NAME CMD...: runs CMD in the current folder; appends seconds and
# peak KiB to $SCRATCH/NAME.
timed() {
  local name=$1
  shift
  sync
  /usr/bin/time -f "%e %M" -o "$SCRATCH/t" "$@" >/dev/null 2>"$SCRATCH/err" ||
    { echo "$name failed: $(cat "$SCRATCH/err")" >&2; exit 1; }
  cat "$SCRATCH/t" >>"$SCRATCH/$name"
}

for round in $(seq 1 "$PAIRS"); do
  for who in ours ref; do
    d=$SCRATCH/$who.$round
    mkdir "$d"
    cd "$d"
    timed "$who.split" split -a 3 -d -b "$PIECE" ../src p.c
    if [ $who = ours ]; then
      timed ours.create "$TOOL" create p.par2 "$RECOVERY" p.c*
    else
      timed ref.create par2 create -q -q -s"$PIECE" -c"$RECOVERY" p.par2 p.c*
    fi
    rm $lost
    if [ $who = ours ]; then
      timed ours.repair "$TOOL" repair p.par2
    else
      timed ref.repair par2 repair -q -q p.par2
    fi
    cat p.c* | cmp -s - ../src || { echo "$who round $round: the repaired set differs" >&2; exit 1; }
    cd "$SCRATCH"
    rm -rf "$d"
  done
done

# stats FILE COLUMN: median (min..max)
stats() {
  cut -d' ' -f"$2" "$1" | sort -g | awk '{v[NR]=$1} END {
    m = (NR % 2) ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2
    printf "%.2f (%.2f..%.2f)", m, v[1], v[NR] }'
}
# ratios A B [C D]: per round (A [+ C]) / (B [+ D]), median (min..max)
ratios() {
  paste -d' ' "$@" | awk -v n=$# '{
    a = $1; b = $3; if (n == 4) { a += $5; b += $7 }
    print a / b }' | sort -g | awk '{v[NR]=$1} END {
    m = (NR % 2) ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2
    printf "%.2f (%.2f..%.2f)", m, v[1], v[NR] }'
}
cd "$SCRATCH"
echo "PAR2 bench: ${SIZE_MIB} MiB in $((PIECE / 1048576)) MiB pieces, $RECOVERY recovery slices, $PAIRS rounds"
echo "seconds, median (min..max):"
echo "  split                   ours $(stats ours.split 1)   ref $(stats ref.split 1)"
echo "  create                  ours $(stats ours.create 1)   par2 $(stats ref.create 1)"
echo "  repair (2 deleted)      ours $(stats ours.repair 1)   par2 $(stats ref.repair 1)"
echo "ratios ours/par2, median (min..max):"
echo "  split + create          $(ratios ours.split ref.split ours.create ref.create)"
echo "  create alone            $(ratios ours.create ref.create)"
echo "  repair                  $(ratios ours.repair ref.repair)"
echo "peak RSS MiB, median (min..max):"
for f in ours.create ref.create ours.repair ref.repair; do
  awk '{print $2 / 1024}' "$f" >"$f.mib"
  echo "  $f $(stats "$f.mib" 1)"
done
