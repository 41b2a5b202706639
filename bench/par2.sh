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
#   PARVEX     the command line (build/cli/parvex)
#   BEFORE_TOOL, BEFORE_PARVEX  another build's two (say, of the commit before
#              a change): timed in the same rounds as "before", right after
#              ours; unset, not run
#   BENCH_DIR  where the scratch folder goes ($TMPDIR or /tmp)
#
# Method. Round after round, ours runs first (then the other build's, if
# given; the two take turns at going first) and par2cmdline last, so a slow
# spell of the shared machine falls on all. Every run works in a new folder and writes new files; `sync` runs
# untimed before each timed command. Timed:
#   create   split -b PIECE, then our create          (pieces + PAR2 files)
#       vs   split -b PIECE, then par2 create -s PIECE -c RECOVERY
#   create alone: the same without the split
#   repair   two pieces deleted from the set; our repair vs par2 repair
#            (each on a copy of the set it made)
#   cut      parvex cut -s PIECE --recovery RECOVERY (the pieces, the
#            SHA-256 list and the PAR2 files in one command), and the same
#            with --no-checksum (no list), vs split + par2 create
# Each command runs under /usr/bin/time for its peak RSS and CPU time. Medians
# are printed with their range (min..max) over the rounds, and the ratios per
# round, of the wall times and of the CPU times (which a busy machine spreads
# less; on 2 CPUs the wall time of a command that keeps both busy is about
# half its CPU time). The first round's cut sets are checked with par2 verify
# (untimed).
set -euo pipefail
SIZE_MIB=${SIZE_MIB:-512}
PIECE=${PIECE:-8388608}
RECOVERY=${RECOVERY:-4}
PAIRS=${PAIRS:-5}
ROOT=$(cd "$(dirname "$0")/.." && pwd)
TOOL=${TOOL:-$ROOT/build/tests/par2/pvx_par2_tool}
PARVEX=${PARVEX:-$ROOT/build/cli/parvex}
BEFORE_TOOL=${BEFORE_TOOL:-}
BEFORE_PARVEX=${BEFORE_PARVEX:-}
[ -x "$TOOL" ] || { echo "build it: cmake --build build --target pvx_par2_tool" >&2; exit 1; }
[ -x "$PARVEX" ] || { echo "build it: cmake --build build --target parvex" >&2; exit 1; }
# The rounds run in folders of their own: the programs by absolute path.
TOOL=$(realpath "$TOOL")
PARVEX=$(realpath "$PARVEX")
if [ -n "$BEFORE_TOOL$BEFORE_PARVEX" ]; then
  [ -x "$BEFORE_TOOL" ] && [ -x "$BEFORE_PARVEX" ] ||
    { echo "BEFORE_TOOL and BEFORE_PARVEX name the other build's two" >&2; exit 1; }
  BEFORE_TOOL=$(realpath "$BEFORE_TOOL")
  BEFORE_PARVEX=$(realpath "$BEFORE_PARVEX")
  builds="ours before ref"
else
  builds="ours ref"
fi
command -v par2 >/dev/null || { echo "par2 (par2cmdline) is not installed" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "GNU time (/usr/bin/time) is not installed" >&2; exit 1; }

SCRATCH=$(mktemp -d "${BENCH_DIR:-${TMPDIR:-/tmp}}/pvx_par2_bench.XXXXXX")
trap 'rm -rf "$SCRATCH"' EXIT
head -c $((SIZE_MIB * 1048576)) /dev/urandom >"$SCRATCH/src"
pieces=$(( (SIZE_MIB * 1048576 + PIECE - 1) / PIECE ))
lost=$(printf 'p.c%03d p.c%03d' 1 $((pieces - 2)))

# timed NAME CMD...: runs CMD in the current folder; appends seconds and
# peak KiB to $SCRATCH/NAME, and its CPU seconds (user + system, of all its
# threads) and peak KiB to $SCRATCH/NAME.cpu.
timed() {
  local name=$1
  shift
  sync
  /usr/bin/time -f "%e %M %U %S" -o "$SCRATCH/t" "$@" >/dev/null 2>"$SCRATCH/err" ||
    { echo "$name failed: $(cat "$SCRATCH/err")" >&2; exit 1; }
  awk '{print $1, $2}' "$SCRATCH/t" >>"$SCRATCH/$name"
  awk '{print $3 + $4, $2}' "$SCRATCH/t" >>"$SCRATCH/$name.cpu"
}

for round in $(seq 1 "$PAIRS"); do
  # With another build, the two take turns at going first.
  order=$builds
  [ "$builds" = "ours before ref" ] && [ $((round % 2)) = 0 ] && order="before ours ref"
  for who in $order; do
    case $who in
      ours) tool=$TOOL parvex=$PARVEX ;;
      before) tool=$BEFORE_TOOL parvex=$BEFORE_PARVEX ;;
    esac
    d=$SCRATCH/$who.$round
    mkdir "$d"
    cd "$d"
    timed "$who.split" split -a 3 -d -b "$PIECE" ../src p.c
    if [ $who = ref ]; then
      timed ref.create par2 create -q -q -s"$PIECE" -c"$RECOVERY" p.par2 p.c*
    else
      timed "$who.create" "$tool" create p.par2 "$RECOVERY" p.c*
    fi
    rm $lost
    if [ $who = ref ]; then
      timed ref.repair par2 repair -q -q p.par2
    else
      timed "$who.repair" "$tool" repair p.par2
    fi
    cat p.c* | cmp -s - ../src || { echo "$who round $round: the repaired set differs" >&2; exit 1; }
    cd "$SCRATCH"
    rm -rf "$d"
    [ $who = ref ] && continue
    for list in cut cutnl; do
      mkdir "$d"
      cd "$d"
      flag=; [ $list = cutnl ] && flag=--no-checksum
      timed "$who.$list" "$parvex" cut -q -s "$PIECE" --recovery "$RECOVERY" $flag -d . ../src
      if [ "$round" = 1 ]; then
        par2 verify -q src.par2 >/dev/null 2>&1 ||
          { echo "$who $list: par2 verify refuses the cut's recovery data" >&2; exit 1; }
      fi
      cd "$SCRATCH"
      rm -rf "$d"
    done
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
# cut_ratio WHO.CUT [.cpu]: per round WHO.CUT / (ref.split + ref.create)
cut_ratio() {
  local cpu=${2:-}
  paste -d' ' "$1$cpu" "ref.split$cpu" "ref.create$cpu" | awk '{ print $1 / ($3 + $5) }' |
    sort -g | awk '{v[NR]=$1} END {
    m = (NR % 2) ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2
    printf "%.2f (%.2f..%.2f)", m, v[1], v[NR] }'
}
cd "$SCRATCH"
echo "PAR2 bench: ${SIZE_MIB} MiB in $((PIECE / 1048576)) MiB pieces, $RECOVERY recovery slices, $PAIRS rounds, $(nproc) CPUs"
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
for who in $builds; do
  [ $who = ref ] && continue
  [ $who = before ] && echo "-- before: $BEFORE_PARVEX"
  echo "seconds, median (min..max):"
  echo "  split                   $who $(stats $who.split 1)   ref $(stats ref.split 1)"
  echo "  create                  $who $(stats $who.create 1)   par2 $(stats ref.create 1)"
  echo "  repair (2 deleted)      $who $(stats $who.repair 1)   par2 $(stats ref.repair 1)"
  echo "  parvex cut --recovery   $(stats $who.cut 1)   --no-checksum $(stats $who.cutnl 1)"
  echo "ratios $who/par2, median (min..max):"
  echo "  split + create          $(ratios $who.split ref.split $who.create ref.create)"
  echo "  create alone            $(ratios $who.create ref.create)"
  echo "  repair                  $(ratios $who.repair ref.repair)"
  echo "  cut --recovery / (split + par2 create)                 $(cut_ratio $who.cut)"
  echo "  cut --recovery --no-checksum / (split + par2 create)   $(cut_ratio $who.cutnl)"
  echo "CPU seconds (user + system), median (min..max):"
  echo "  create                  $who $(stats $who.create.cpu 1)   par2 $(stats ref.create.cpu 1)"
  echo "  repair (2 deleted)      $who $(stats $who.repair.cpu 1)   par2 $(stats ref.repair.cpu 1)"
  echo "  parvex cut --recovery   $(stats $who.cut.cpu 1)   --no-checksum $(stats $who.cutnl.cpu 1)"
  echo "CPU ratios $who/par2, median (min..max):"
  echo "  split + create          $(ratios $who.split.cpu ref.split.cpu $who.create.cpu ref.create.cpu)"
  echo "  repair                  $(ratios $who.repair.cpu ref.repair.cpu)"
  echo "  cut --recovery / (split + par2 create)                 $(cut_ratio $who.cut .cpu)"
  echo "  cut --recovery --no-checksum / (split + par2 create)   $(cut_ratio $who.cutnl .cpu)"
done
echo "peak RSS MiB, median (min..max):"
for f in ours.create before.create ref.create ours.repair before.repair \
         ref.repair ours.cut before.cut ours.cutnl before.cutnl; do
  [ -f "$f" ] || continue
  awk '{print $2 / 1024}' "$f" >"$f.mib"
  echo "  $f $(stats "$f.mib" 1)"
done
