# The zsh completion parses, defines _parvex when autoloaded as compinit
# would, and names every command and every option parvex's --help lists
# in that command's branch.
#   completion_zsh.sh PARVEX COMPLETION_FILE
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/help_options.sh"
parvex=$1 file=$2
command -v zsh >/dev/null || { echo "zsh is not installed"; exit 77; }

out=$(zsh -n "$file" 2>&1) || fail "zsh -n: $out"
head -n1 "$file" | grep -qx '#compdef parvex' || fail "the first line is not \"#compdef parvex\""

# Loaded from an fpath folder with compinit, the function is bound to parvex.
mkdir "$WORK/fn"
cp "$file" "$WORK/fn/_parvex"
out=$(HOME=$WORK ZDOTDIR=$WORK zsh -f -c '
  fpath=("$1" $fpath)
  autoload -Uz compinit && compinit -u -d "$1/../zcompdump"
  print -r -- "$_comps[parvex]"' zsh "$WORK/fn" 2>&1)
[ "$out" = _parvex ] || fail "compinit binds parvex to \"$out\", expected _parvex"

# branch CMD: the text of the case branch "CMD)" up to its ";;".
branch() {
  awk -v c="$1" '$1 == c ")" { on = 1; next } on && /;;/ { exit } on' "$file"
}
# shared NAME: the definition of the array NAME=( ... ) the branches share.
shared() {
  awk -v n="$1" '$0 ~ "^ *" n "=\\(" { on = 1 } on { print } on && /\)$/ { exit }' "$file"
}
for c in $(help_commands "$parvex"); do
  grep -q "^ *'$c:" "$file" || fail "the command list lacks $c"
  text=$(branch "$c")
  [ -n "$text" ] || { fail "no branch for $c"; continue; }
  for array in answers help; do
    grep -q "\$$array\b" <<<"$text" && text+=$'\n'$(shared "$array")
  done
  # Exclusion lists such as '(-y --yes)' name options without completing them.
  text=$(sed "s/'([^)]*)'//g" <<<"$text")
  for o in $(help_options "$parvex" "$c"); do
    [ "$o" = --version ] && continue
    grep -qE -- "(^|[^a-z-])$o([^a-z-]|$)" <<<"$text" ||
      fail "the $c branch does not complete $o"
  done
done
finish
