#!/usr/bin/env bash
# Times parvex against coreutils on one random file, page cache warm.
#
#   bash bench/run.sh
#
# Settings (environment):
#   SIZE_MIB   size of the random file in MiB (512); 6144 is the large case:
#              a source above 4 GiB (parvex writes the @PARVEX+ header) in
#              769 pieces of 8M
#   PAIRS      timed rounds after one warm-up round (7)
#   PIECE      piece size for parvex cut -s and split -b (8M)
#   PARVEX     the parvex to time (build/cli/parvex, built when missing)
#   BENCH_DIR  folder in which a scratch folder is made ($TMPDIR or /tmp);
#              the scratch folder is removed afterwards
#
# Method. Each comparison runs its commands in rounds: parvex first, then the
# coreutils command(s), round after round, so that a slow spell of the shared
# machine falls on both. Before every run its output folder is removed and made
# anew (untimed), so every run creates new files and none is truncated; then
# `sync` runs (untimed) so no run pays for the previous one's writeback. The
# timed part is only the command itself, started the same way for all of them
# (sh -c under /usr/bin/time, which gives the peak RSS and the CPU time). Every output is compared
# with the source afterwards (untimed). A ratio is parvex's time over the
# coreutils command's time in the same round; the median ratio and its range
# over the rounds are printed, with the median times.
#
# Comparisons:
#   cut, no list          parvex cut [--no-checksum]   vs split -b PIECE
#   cut, writing the list parvex cut                   vs split -b PIECE
#   join, no list         parvex join (set without list) vs cat pieces > out
#   join, verifying       parvex join (set with list)  vs cat pieces > out &&
#                           sha256sum -c --ignore-missing --strict STEM.sha256,
#                         and vs plain cat pieces > out
# The two with a list run only when this parvex writes one (its cut --help
# names --no-checksum).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
size_mib=${SIZE_MIB:-512}
pairs=${PAIRS:-7}
piece=${PIECE:-8M}
parvex=${PARVEX:-$root/build/cli/parvex}

die() { echo "bench: $*" >&2; exit 1; }

if [ ! -x /usr/bin/time ]; then
  if [ "$(id -u)" -eq 0 ]; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q time >/dev/null
  else
    die "/usr/bin/time is missing (install the package time)"
  fi
fi
if [ ! -x "$parvex" ]; then
  [ -z "${PARVEX:-}" ] || die "PARVEX=$PARVEX is not an executable"
  echo "==> building parvex into build/"
  cmake -S "$root" -B "$root/build" >/dev/null
  cmake --build "$root/build" -j2 --target parvex >/dev/null
fi
parvex=$(cd "$(dirname "$parvex")" && pwd)/$(basename "$parvex")

has_list=0
if "$parvex" cut --help 2>/dev/null | grep -q -- --no-checksum; then has_list=1; fi

base=${BENCH_DIR:-${TMPDIR:-/tmp}}
mkdir -p "$base"
work=$(mktemp -d "$base/pvx-bench.XXXXXX")
trap 'cd /; rm -rf "$work"' EXIT
cd "$work"
fstype=$(findmnt -n -o FSTYPE -T "$work" 2>/dev/null || stat -f -c %T "$work")

q() { printf '%q' "$1"; }
pvx=$(q "$parvex")
no_checksum=""
[ "$has_list" -eq 1 ] && no_checksum="--no-checksum"

echo "parvex bench: ${size_mib} MiB random file, pieces of $piece, $pairs rounds after a warm-up round"
echo "parvex: $parvex"
echo "nproc: $(nproc); bench folder: $work (filesystem $fstype)"
echo "load average at start: $(cut -d' ' -f1-3 /proc/loadavg)"

# The source, three sets of it, and the outputs of two runs side by side.
need_kib=$((size_mib * 1024 * 6 + 1024 * 1024))
free_kib=$(df -Pk "$work" | awk 'NR == 2 { print $4 }')
[ "${free_kib:-0}" -ge "$need_kib" ] ||
  die "$work has $((free_kib / 1024)) MiB free; ${size_mib} MiB needs about $((need_kib / 1024)) MiB"

echo "==> preparing (untimed): source, a split set, parvex sets"
size=$((size_mib * 1024 * 1024))
head -c "$size" /dev/urandom >big.bin
mkdir -p sets/split sets/plain
# Four-letter suffixes: the default two give out after 676 pieces.
split -a 4 -b "$piece" big.bin sets/split/big.
# shellcheck disable=SC2086
"$parvex" cut -y -s "$piece" $no_checksum -d sets/plain big.bin >/dev/null
[ -f sets/plain/big.c00 ] || die "parvex cut made no sets/plain/big.c00"
split_pieces=$(cd sets/split && ls | sort | sed 's|^|sets/split/|' | tr '\n' ' ')

list_name=""
if [ "$has_list" -eq 1 ]; then
  mkdir -p sets/listed
  "$parvex" cut -y -s "$piece" -d sets/listed big.bin >/dev/null
  list_name=big.sha256
  [ -f "sets/listed/$list_name" ] || die "parvex cut wrote no sets/listed/$list_name"
  # The source's line is the last one: 64 hex digits, two spaces, the name.
  src_name=$(tail -n 1 "sets/listed/$list_name" | cut -c 67-)
  [ -n "$src_name" ] || die "no source line in sets/listed/$list_name"
  (cd sets/listed && sha256sum -c --ignore-missing --strict --quiet "$list_name") ||
    die "sha256sum -c rejects the pieces of sets/listed/$list_name"
  mkdir -p sets/srccheck
  ln big.bin "sets/srccheck/$src_name"
  cp "sets/listed/$list_name" sets/srccheck/
  (cd sets/srccheck && sha256sum -c --ignore-missing --strict --quiet "$list_name") ||
    die "sha256sum -c rejects the source line of $list_name"
  rm -rf sets/srccheck
  if "$parvex" cut -y -s "$piece" --no-checksum -d sets/nolist_probe big.bin >/dev/null &&
      ls sets/nolist_probe/*.sha256 >/dev/null 2>&1; then
    die "parvex cut --no-checksum still wrote a list"
  fi
  rm -rf sets/nolist_probe
fi
cat big.bin sets/*/* >/dev/null  # into the page cache

# --- checks of outputs (untimed) -------------------------------------------

# A parvex piece set: piece 0's header is whatever the pieces hold beyond the
# source; without it, the pieces in order must be the source.
check_cut() {
  local dir=$1 total head
  # shellcheck disable=SC2012
  local pieces
  pieces=$(ls "$dir" | grep -v '\.sha256$' | sort -V | sed "s|^|$dir/|")
  total=$(cat $pieces | wc -c)
  head=$((total - size))
  [ "$head" -ge 0 ] || die "$dir: the pieces hold less than the source"
  # shellcheck disable=SC2086
  { tail -c +$((head + 1)) "$dir/big.c00"; cat $(echo "$pieces" | tail -n +2); } |
    cmp -s - big.bin || die "$dir: the pieces do not hold the source"
}
check_cut_nolist() {
  check_cut "$1"
  if ls "$1"/*.sha256 >/dev/null 2>&1; then die "$1: a list was written"; fi
}
check_cut_list() {
  check_cut "$1"
  cmp -s "$1/$list_name" "sets/listed/$list_name" ||
    die "$1/$list_name differs from the list checked with sha256sum"
}
check_split() { cat "$1"/* | cmp -s - big.bin || die "$1: split pieces differ"; }
check_joined() { cmp -s "$1/big.bin" big.bin || die "$1/big.bin differs from the source"; }
check_catsha() { cmp -s "$1/$src_name" big.bin || die "$1/$src_name differs from the source"; }

# --- the commands ----------------------------------------------------------
# id -> command (run by sh -c in $work, writing into o_ID), check, setup.
declare -A cmd chk prep label
cmd[cut_nolist]="$pvx cut -y -s $piece $no_checksum -d o_cut_nolist big.bin"
chk[cut_nolist]=check_cut_nolist
label[cut_nolist]="parvex cut -s $piece${no_checksum:+ $no_checksum}"
cmd[cut_list]="$pvx cut -y -s $piece -d o_cut_list big.bin"
chk[cut_list]=check_cut_list
label[cut_list]="parvex cut -s $piece (writes the list)"
cmd[split]="split -a 4 -b $piece big.bin o_split/big."
chk[split]=check_split
label[split]="split -a 4 -b $piece"
cmd[join_nolist]="$pvx join -y -d o_join_nolist sets/plain/big.c00"
chk[join_nolist]=check_joined
label[join_nolist]="parvex join (set without list)"
cmd[join_verify]="$pvx join -y -d o_join_verify sets/listed/big.c00"
chk[join_verify]=check_joined
label[join_verify]="parvex join (verifying the list)"
cmd[cat]="cat $split_pieces>o_cat/big.bin"
chk[cat]=check_joined
label[cat]="cat pieces > out"
if [ "$has_list" -eq 1 ]; then
  cmd[cat_sha]="cat $split_pieces>o_cat_sha/$(q "$src_name") && cd o_cat_sha && sha256sum -c --ignore-missing --strict $list_name"
  prep[cat_sha]="cp sets/listed/$list_name o_cat_sha/"
fi
chk[cat_sha]=check_catsha
label[cat_sha]="cat pieces > out && sha256sum -c --ignore-missing --strict"

# run ID: one timed run; sets run_s and run_kib.
run() {
  local id=$1
  rm -rf "o_$id"
  mkdir "o_$id"
  [ -z "${prep[$id]:-}" ] || eval "${prep[$id]}"
  sync
  local t0 t1
  t0=$EPOCHREALTIME
  if ! /usr/bin/time -f '%M %U %S' -o rss.txt sh -c "${cmd[$id]}" >out.txt 2>err.txt; then
    t1=$EPOCHREALTIME
    cat out.txt err.txt >&2
    die "failed: ${cmd[$id]}"
  fi
  t1=$EPOCHREALTIME
  run_s=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.4f", b - a }')
  run_kib=$(tail -n 1 rss.txt | cut -d' ' -f1)
  run_cpu=$(tail -n 1 rss.txt | awk '{ printf "%.2f", $2 + $3 }')
  "${chk[$id]}" "o_$id"
}

median() { sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
minmax() { sort -g | awk 'NR == 1 { lo = $1 } { hi = $1 } END { printf "%.2f-%.2f", lo, hi }'; }

# compare TITLE PARVEX_ID BASE_ID...: rounds of PARVEX_ID then each BASE_ID.
compare() {
  local title=$1 p=$2 r i id
  shift 2
  local bases=("$@")
  echo
  echo "== $title"
  echo "   parvex: ${label[$p]}"
  for id in "${bases[@]}"; do echo "   base:   ${label[$id]}"; done
  rm -f ./*.t ./*.m ./*.c ./*.ratio
  local header="round   parvex s"
  for id in "${bases[@]}"; do header+=$(printf '  %10s  %7s' "$id s" ratio); done
  echo "$header"
  for ((r = 0; r <= pairs; r++)); do
    run "$p"
    local ps=$run_s line
    if [ "$r" -eq 0 ]; then line=$(printf '%-7s %9.3f' warm-up "$ps")
    else line=$(printf '%-7s %9.3f' "$r" "$ps"); echo "$ps" >>"$p.t"; echo "$run_kib" >>"$p.m"; echo "$run_cpu" >>"$p.c"; fi
    for id in "${bases[@]}"; do
      run "$id"
      local ratio
      ratio=$(awk -v a="$ps" -v b="$run_s" 'BEGIN { printf "%.2f", a / b }')
      line+=$(printf '  %10.3f  %7s' "$run_s" "$ratio")
      if [ "$r" -gt 0 ]; then
        echo "$run_s" >>"$id.t"; echo "$run_kib" >>"$id.m"; echo "$ratio" >>"$id.ratio"
        echo "$run_cpu" >>"$id.c"
      fi
    done
    echo "$line"
  done
  local pm
  pm=$(median <"$p.t")
  printf '   median time: parvex %.3f s (%.0f MiB/s)' "$pm" "$(awk -v s="$size_mib" -v t="$pm" 'BEGIN { print s / t }')"
  for id in "${bases[@]}"; do printf ', %s %.3f s' "$id" "$(median <"$id.t")"; done
  echo
  for id in "${bases[@]}"; do
    printf '   ratio parvex / %s: median %.2f (min-max %s over %s rounds)\n' \
      "$id" "$(median <"$id.ratio")" "$(minmax <"$id.ratio")" "$pairs"
  done
  printf '   median CPU (user+sys): parvex %.2f s' "$(median <"$p.c")"
  for id in "${bases[@]}"; do printf ', %s %.2f s' "$id" "$(median <"$id.c")"; done
  echo
  printf '   peak RSS: parvex %s KiB' "$(sort -n "$p.m" | tail -n 1)"
  for id in "${bases[@]}"; do printf ', %s %s KiB' "$id" "$(sort -n "$id.m" | tail -n 1)"; done
  echo
  rm -rf "o_$p"
  for id in "${bases[@]}"; do rm -rf "o_$id"; done
}

compare "cut, no list" cut_nolist split
if [ "$has_list" -eq 1 ]; then
  compare "cut, writing the list" cut_list split
else
  echo
  echo "== cut, writing the list: skipped (this parvex writes no checksum list: its cut --help has no --no-checksum)"
fi
compare "join, no list" join_nolist cat
if [ "$has_list" -eq 1 ]; then
  compare "join, verifying the list" join_verify cat_sha cat
else
  echo
  echo "== join, verifying the list: skipped (this parvex writes no checksum list: its cut --help has no --no-checksum)"
fi
echo
echo "load average at end: $(cut -d' ' -f1-3 /proc/loadavg)"
