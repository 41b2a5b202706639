# A command that fails creates nothing: no piece, no list, no .part, and no
# folder on the way to them. info and verify never create anything. Each row
# of the table runs one command and compares the whole scratch folder before
# and after.
#   rules_nothing_created.sh PARVEX HAS_STUB
source "$(dirname "$0")/lib.sh" "$1"

random_file data.bin 100000
random_file small.bin 1000
run cut -s 40K -d set data.bin
expect_rc 0
cp -r set gap && rm gap/data.c01                       # a piece missing
cp -r set shortset && truncate -s 100 shortset/data.c02
random_file noise.c00 5000                              # not a set
cp -r set badlist && printf 'zz  data.c00\n' >badlist/data.sha256
mkdir slashed && header slashed/s.c00 '../s.bin' 10 && head -c 10 /dev/zero >>slashed/s.c00
mkdir taken && echo old >taken/data.c01
mkdir fifo && mkfifo fifo/f.bin
cp data.bin 'back\slash.bin'
truncate -s 4000000 many.bin                            # 10,001 pieces of 400
: >empty.bin

# Each row: what to run (| separated), the status it must end with.
table=(
  "cut|-s|40K|-d|new/a/b/|small.bin   1"
  "cut|-s|40K|-d|new/a/b/|missing.bin   1"
  "cut|-s|40K|-d|new/a/b/|set   1"
  "cut|-s|40K|-d|new/a/b/|fifo/f.bin   1"
  "cut|-s|40K|-d|new/a/b/|empty.bin   1"
  "cut|-s|400|-d|new/a/b/|many.bin   1"
  "cut|-s|40K|-d|new/a/b/|back\\slash.bin   1"
  "cut|-n|-s|40K|-d|taken|data.bin   1"
  "cut|-s|40K|-d|taken|data.bin   1"
  "join|-d|new/x/|gap/data.c00   1"
  "join|-d|new/x/|shortset/data.c00   1"
  "join|-d|new/x/|noise.c00   1"
  "join|-d|new/x/|missing.c00   1"
  "join|-d|new/x/|badlist/data.c00   1"
  "join|-d|new/x/|slashed/s.c00   1"
  "join|-o|new/y/out.bin|gap/data.c00   1"
  "join|-o|new/y/out.bin|badlist/data.c00   1"
  "join|-o|new/y/out.bin|noise.c00   1"
  "join|-p|-d|new/x/|noise.c00   1"
  "info|set/data.c00   0"
  "info|gap/data.c00   1"
  "info|noise.c00   1"
  "verify|set/data.c00   0"
  "verify|gap/data.c00   1"
  "verify|badlist/data.c00   1"
  "verify|--checksum|new/list.sha256|set/data.c00   1"
)

for row in "${table[@]}"; do
  want=${row##* }
  IFS='|' read -r -a args <<<"${row%% *}"
  shown="parvex $(printf '%q ' "${args[@]}")"
  tree >before.tree
  timeout 10 "$PARVEX" "${args[@]}" </dev/null >out.txt 2>err.txt
  rc=$?
  [ "$rc" = "$want" ] || fail "$shown: exit status $rc, expected $want; stderr: $(head -c 300 err.txt)"
  expect_absent new
  tree >after.tree
  cmp -s before.tree after.tree ||
    fail "$shown created or changed: $(diff before.tree after.tree | grep '^[<>]' | head -5 | tr '\n' ' ')"
  rm -rf new
done

# Standard input: empty, and too short to need cutting.
for bytes in 0 1000; do
  tree >before.tree
  head -c "$bytes" data.bin |
    timeout 10 "$PARVEX" cut - --name n.bin -s 40K -d new/z/ >out.txt 2>err.txt
  rc=$?
  expect_rc 1
  expect_absent new
  tree >after.tree
  cmp -s before.tree after.tree ||
    fail "cut - of $bytes bytes created: $(diff before.tree after.tree | grep '^>' | head -5 | tr '\n' ' ')"
  rm -rf new
done

finish
