#!/bin/bash
# Captures parvex's terminal progress line half-way through a join, from
# tmux capture-pane, for the README.
#   scripts/capture_progress.sh [PARVEX] [OUT]
# PARVEX defaults to build/cli/parvex, OUT to doc/progress.txt. Needs tmux
# and about 4 GiB of room in TMPDIR (a 2 GiB file is cut and joined).
set -eu
parvex=$(realpath "${1:-build/cli/parvex}")
out=${2:-doc/progress.txt}
socket=pvx-capture-$$
work=$(mktemp -d)
cleanup() {
  tmux -L "$socket" kill-server 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

cd "$work"
truncate -s 2G disk.img
"$parvex" cut -q -s 100MiB disk.img
rm disk.img

# A pane of 80 columns; the join stays on screen for a while after it ends.
tmux -L "$socket" new-session -d -x 80 -y 4 \
  "'$parvex' join -d restored disk.c00; sleep 60"
pane=""
for _ in $(seq 1 2000); do
  pane=$(tmux -L "$socket" capture-pane -p)
  percent=$(grep -o '[0-9]*%' <<<"$pane" | tail -1 | tr -d %)
  if [ -n "$percent" ] && [ "$percent" -ge 40 ] && [ "$percent" -le 60 ]; then
    break
  fi
  pane=""
  sleep 0.01
done
[ -n "$pane" ] || { echo "no progress line between 40% and 60% seen" >&2; exit 1; }
cd - >/dev/null
printf '%s\n' "$pane" | sed -e 's/[[:space:]]*$//' -e '/^$/d' >"$out"
echo "captured into $out:" >&2
cat "$out" >&2
