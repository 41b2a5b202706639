#!/usr/bin/env bash
# The catalogue says every text the sources use, and says it with the same
# printf directives: a text missing from po/ja.po would come out in English
# in the middle of Japanese ones, and a translation that lost or reordered
# a directive would print another argument.
#   check.sh SCRATCH_DIR
set -euo pipefail
# msgfmt's statistics in English, for the grep below.
export LC_ALL=C
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
mkdir -p "$1"
bash "$here/extract.sh" "$1/parvex.pot"
msgcmp "$here/ja.po" "$1/parvex.pot"
# What msgfmt says goes to the log whether or not it passes its checks.
status=0
msgfmt --check --statistics -o "$1/ja.mo" "$here/ja.po" 2>"$1/statistics" ||
  status=$?
cat "$1/statistics"
[ "$status" -eq 0 ] || exit "$status"
if grep -Eq 'fuzzy|untranslated' "$1/statistics"; then
  echo "po/ja.po has fuzzy or untranslated texts" >&2
  exit 1
fi
echo "all texts translated"
