# An option value that is empty or means nothing is a usage error, for every
# command that takes the option: status 2, a "parvex: " line saying what is
# wrong, the "Try 'parvex COMMAND --help'" line, and nothing written.
#   rules_option_values.sh PARVEX HAS_STUB
source "$(dirname "$0")/lib.sh" "$1"

random_file data.bin 100000
run cut -s 40K -d set data.bin
expect_rc 0
mkdir dir

# One row per command line: the command, then its arguments (| separated,
# so that empty values survive).
table=(
  "cut|-d||-s|40K|data.bin"
  "cut|-s||data.bin"
  "cut|-s|0|data.bin"
  "cut|--pieces||data.bin"
  "cut|--pieces|1|data.bin"
  "cut|--pieces|0|data.bin"
  "cut|--pieces|10001|data.bin"
  "cut|--name||-s|40K|-"
  "cut|--name=|-s|40K|-"
  "join|-d||set/data.c00"
  "join|-o||set/data.c00"
  "join|-o|dir/|set/data.c00"
  "join|-o|new/|set/data.c00"
  "join|--checksum||set/data.c00"
  "join|--checksum=|set/data.c00"
  "verify|--checksum||set/data.c00"
  "verify|--checksum=|set/data.c00"
)

tree >before.tree
for row in "${table[@]}"; do
  IFS='|' read -r -a args <<<"$row"
  cmd=${args[0]}
  IN=data.bin run "${args[@]}"
  shown="parvex $(printf '%q ' "${args[@]}")"
  [ "$rc" = 2 ] || fail "$shown: exit status $rc, expected 2; stderr: $(head -c 300 err.txt)"
  head -1 err.txt | grep -q '^parvex: ' ||
    fail "$shown: the first line of stderr does not start with \"parvex: \": $(head -c 300 err.txt)"
  grep -qF "Try 'parvex $cmd --help'" err.txt ||
    fail "$shown: no \"Try 'parvex $cmd --help'\" line: $(head -c 300 err.txt)"
  [ ! -s out.txt ] || fail "$shown printed on standard output: $(head -c 300 out.txt)"
  tree >after.tree
  cmp -s before.tree after.tree ||
    fail "$shown changed the folder: $(diff before.tree after.tree | grep '^[<>]' | head -5 | tr '\n' ' ')"
  # Undo whatever it wrote, so that the next row starts from the same folder.
  comm -13 <(cut -d' ' -f1 before.tree) <(cut -d' ' -f1 after.tree) |
    while read -r path; do rm -rf "$path"; done
done

finish
