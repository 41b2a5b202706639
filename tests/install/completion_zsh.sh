# The zsh completion parses, is bound to parvex by compinit, and offers in
# an interactive zsh (on a pseudo-terminal) the commands and each command's
# options, every one its --help lists; the source names each of them in the
# command's branch.
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

# What an interactive zsh lists on TAB.
offers() {
  timeout 30 zsh -f "$(dirname "$0")/zsh_probe.zsh" "$WORK/fn" "$1" 2>&1
}
got=$(offers "parvex " | tr '\n' ' ')
[ "$got" = "cut info join repair verify " ] ||
  fail "zsh lists [$got] for \"parvex \", expected [cut info join repair verify ]"
for c in $(help_commands "$parvex"); do
  got=$(offers "parvex $c -")
  for o in $(help_options "$parvex" "$c"); do
    [ "$o" = --version ] && continue
    grep -qxF -- "$o" <<<"$got" ||
      fail "zsh does not list $o for \"parvex $c -\": [$(echo $got)]"
  done
done
# Options of another command, and one excluded by an option already given,
# are not offered.
got=$(offers "parvex join -y -")
for o in --pieces --name --self-join -y -n --no; do
  ! grep -qxF -- "$o" <<<"$got" || fail "zsh lists $o for \"parvex join -y -\""
done
grep -qxF -- --no-verify <<<"$got" || fail "zsh does not list --no-verify for \"parvex join -y -\""
got=$(offers "parvex cut -n -")
for o in -y --yes --no-verify; do
  ! grep -qxF -- "$o" <<<"$got" || fail "zsh lists $o for \"parvex cut -n -\""
done
finish
