# The bash completion, run as bash runs it: COMP_WORDS and COMP_CWORD set,
# the function called, COMPREPLY read. Commands, each command's options
# (every one its --help lists), option arguments, and file names.
#   completion_bash.sh PARVEX COMPLETION_FILE
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/help_options.sh"
parvex=$1
# shellcheck disable=SC1090
source "$2" || { fail "sourcing $2 failed"; finish; }

[[ $(complete -p parvex 2>/dev/null) == *"-F _parvex"* ]] ||
  fail "no completion registered for parvex: $(complete -p parvex 2>&1)"

# offers WORD...: the sorted, newline-separated candidates for the command
# line WORD... (the last word is the one being completed).
offers() {
  COMP_WORDS=("$@")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMP_LINE="$*"
  COMP_POINT=${#COMP_LINE}
  COMPREPLY=()
  _parvex parvex "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}" 2>/dev/null
  printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort
}
# expect_offers WANT WORD...: exactly WANT (separated by spaces, or by "|"
# when it holds one).
expect_offers() {
  local want got
  if [[ $1 == *"|"* ]]; then
    want=$(tr '|' '\n' <<<"$1" | sed '/^$/d' | LC_ALL=C sort)
  else
    want=$(printf '%s\n' $1 | LC_ALL=C sort)
  fi
  shift
  got=$(offers "$@")
  [ "$got" = "$want" ] ||
    fail "completing \"$*\" offers [$(echo $got)], expected [$(echo $want)]"
}
# expect_includes "OPTIONS" WORD...: every one of OPTIONS is offered.
# expect_excludes likewise, none of them.
expect_includes() {
  local got o
  got=$(offers "${@:2}")
  for o in $1; do
    grep -qxF -- "$o" <<<"$got" || fail "completing \"${*:2}\" does not offer $o: [$(echo $got)]"
  done
}
expect_excludes() {
  local got o
  got=$(offers "${@:2}")
  for o in $1; do
    ! grep -qxF -- "$o" <<<"$got" || fail "completing \"${*:2}\" offers $o"
  done
}

cd "$WORK" || exit 1
expect_offers "cut info join repair verify" parvex ""
expect_offers "join" parvex j
expect_offers "--help --version" parvex --
expect_offers "cut info join repair verify" parvex --help ""

cut_options="-d --destination -s --size --pieces -x --self-join -p --pause
             -y --yes -n --no -q --quiet --no-checksum --recovery --name -h --help"
join_options="-d --destination -o -p --pause -y --yes -n --no -q --quiet
              --checksum --no-verify --no-repair -h --help"
verify_options="-q --quiet --checksum -h --help"
expect_offers "$(grep -o -- '--[a-z-]*' <<<"$cut_options")" parvex cut --
expect_offers "$(grep -o -- '--[a-z-]*' <<<"$join_options")" parvex join --
expect_offers "--help" parvex info --
expect_offers "--quiet --checksum --help" parvex verify --
expect_includes "$cut_options" parvex cut -
expect_includes "$join_options" parvex join -
expect_includes "$verify_options" parvex verify -
expect_offers "--destination --yes --no --quiet --help" parvex repair --
# An option already given does not change the command the rest belongs to.
expect_includes "--no-verify --checksum" parvex join -y -
expect_excludes "--pieces --name --self-join" parvex join -y -
expect_excludes "--no-verify -o" parvex cut -q -

# Everything parvex's own --help lists is offered after "-".
for c in $(help_commands "$parvex"); do
  expect_includes "$(help_options "$parvex" "$c")" parvex "$c" -
done

# Arguments: a folder for -d, file names (one candidate even with a space)
# for FILE, -o and --checksum, the diskette sizes for -s.
mkdir sub
: >"data one.bin"
: >data.sha256
expect_offers "sub" parvex cut -d ""
expect_offers "sub" parvex join --destination s
expect_offers "data one.bin|" parvex join "data o"
expect_offers "data one.bin|data.sha256" parvex cut -q da
expect_offers "data.sha256" parvex verify --checksum data.s
expect_offers "data one.bin|data.sha256" parvex join -o d
expect_offers "1.44M 1.25M" parvex cut -s 1.
expect_offers "" parvex cut --name ""
finish
