#!/usr/bin/env bash
# Times parvex against the standard tools on one file, page cache warm:
#   parvex cut -s 8M   against   split -b 8M
#   parvex join        against   cat pieces > file
# Prints the median wall time of each, the ratios, and parvex's peak RSS.
#   bash bench/run.sh
# Settings (environment): SIZE_MIB (512), REPS (7), PIECE (8M),
# PARVEX (default build/cli/parvex, built when missing), BENCH_DIR (a scratch
# folder under $TMPDIR or /tmp; removed afterwards).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
size_mib=${SIZE_MIB:-512}
reps=${REPS:-7}
piece=${PIECE:-8M}
parvex=${PARVEX:-$root/build/cli/parvex}

if [ ! -x /usr/bin/time ]; then
  if [ "$(id -u)" -eq 0 ]; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q time >/dev/null
  else
    echo "bench: /usr/bin/time is missing (install the package time)" >&2
    exit 1
  fi
fi
if [ ! -x "$parvex" ]; then
  echo "==> building parvex into build/"
  cmake -S "$root" -B "$root/build" >/dev/null
  cmake --build "$root/build" -j"$(nproc)" --target parvex >/dev/null
  parvex=$root/build/cli/parvex
fi

work=${BENCH_DIR:-$(mktemp -d "${TMPDIR:-/tmp}/pvx-bench.XXXXXX")}
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT
cd "$work"

echo "==> making a ${size_mib} MiB random file in $work"
head -c $((size_mib * 1024 * 1024)) /dev/urandom >big.bin
cat big.bin >/dev/null  # into the page cache

# timed NAME CMD...: runs CMD once after a sync, appends its wall time in
# seconds to NAME.times and its peak RSS in KiB to NAME.rss.
timed() {
  local name=$1
  shift
  sync
  local start=$EPOCHREALTIME
  /usr/bin/time -f %M -o rss.txt "$@" >/dev/null 2>&1
  local end=$EPOCHREALTIME
  echo "$start $end" | awk '{ printf "%.4f\n", $2 - $1 }' >>"$name.times"
  cat rss.txt >>"$name.rss"
}

# One round of all four; the outputs of the last round are removed first
# (untimed), so each run creates its files.
round() {
  rm -rf cut split joined catted
  mkdir split catted
  timed parvex_cut "$parvex" cut -y -s "$piece" -d cut big.bin
  timed split split -b "$piece" big.bin split/big.
  timed parvex_join "$parvex" join -y -d joined cut/big.c00
  timed cat sh -c 'cat split/big.* >catted/big.bin'
  cmp -s big.bin joined/big.bin || { echo "bench: parvex join differs" >&2; exit 1; }
  cmp -s big.bin catted/big.bin || { echo "bench: cat differs" >&2; exit 1; }
}

echo "==> warm-up round"
round
rm -f ./*.times ./*.rss
echo "==> $reps timed rounds"
for _ in $(seq "$reps"); do round; done

median() { sort -n "$1" | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
max() { sort -n "$1" | tail -1; }

printf '\n%s MiB file, pieces of %s, median of %s runs (page cache warm)\n' \
  "$size_mib" "$piece" "$reps"
printf '%-14s %10s %12s   %s\n' command "median s" "MiB/s" "all runs (s)"
for name in parvex_cut split parvex_join cat; do
  m=$(median "$name.times")
  printf '%-14s %10.3f %12.0f   %s\n' "$name" "$m" \
    "$(awk -v s="$size_mib" -v t="$m" 'BEGIN { print s / t }')" \
    "$(tr '\n' ' ' <"$name.times")"
done
ratio() { awk -v a="$(median "$1.times")" -v b="$(median "$2.times")" 'BEGIN { printf "%.2f", a / b }'; }
printf '\nratio parvex cut / split: %s\n' "$(ratio parvex_cut split)"
printf 'ratio parvex join / cat:  %s\n' "$(ratio parvex_join cat)"
printf 'peak RSS: parvex cut %s KiB, parvex join %s KiB (split %s KiB, cat %s KiB)\n' \
  "$(max parvex_cut.rss)" "$(max parvex_join.rss)" "$(max split.rss)" "$(max cat.rss)"
