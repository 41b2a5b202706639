#!/usr/bin/env bash
# Extracts parvex's texts (the English of every Tr, TrC and TrN) into a PO
# template.
#   extract.sh OUTPUT.pot
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
xgettext --from-code=UTF-8 --language=C++ --package-name=parvex \
  --keyword=Tr:2 --keyword=TrC:2c,3 --keyword=TrN:2,3 --keyword=TrF:2 \
  --keyword=Count:3,4 --flag=TrF:2:c-format \
  --sort-by-file \
  -o "$1" cli/*.cpp cli/*.h engines/*.cpp integrity/*.cpp
