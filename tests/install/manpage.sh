# The man page: groff finds nothing to warn about, the page carries the
# project's version, and it describes every command and every option that
# parvex's own --help lists, each option in its command's section.
#   manpage.sh PARVEX MANPAGE VERSION
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/help_options.sh"
parvex=$1 page=$2 version=$3

warnings=$(groff -ww -man -z "$page" 2>&1)
[ $? = 0 ] && [ -z "$warnings" ] || fail "groff -ww -man -z warns:
$warnings"

th=$(grep -m1 '^\.TH ' "$page")
grep -qF "\"parvex $version\"" <<<"$th" ||
  fail "the .TH line does not say parvex $version: $th"

# The source with \- as -, and the text of a section (.SH, up to the next
# .SH) or subsection (.SS, up to the next .SS or .SH) by title.
plain=$(sed 's/\\-/-/g' "$page")
section() {
  awk -v title="$1" '
    /^\.S[HS] / { t = $0; sub(/^\.S[HS] +/, "", t); gsub(/"/, "", t)
                  if (t == title) { on = 1; level = substr($1, 3); next }
                  if (on && ($1 == ".SH" || level == "S")) on = 0
                  if (on) next }
    on' <<<"$plain"
}
for s in NAME SYNOPSIS DESCRIPTION COMMANDS OPTIONS SIZES "FILE FORMAT" \
         "EXIT STATUS" ENVIRONMENT FILES EXAMPLES "SEE ALSO"; do
  [ -n "$(section "$s")" ] || fail "no section $s"
done
for ref in split cat sha256sum; do
  section "SEE ALSO" | grep -q "^\.BR $ref (1)" || fail "SEE ALSO lacks $ref(1)"
done
for var in LC_ALL LC_MESSAGES LANG; do
  section ENVIRONMENT | grep -qw "$var" || fail "ENVIRONMENT lacks $var"
done
for word in .sha256 .part; do
  section FILES | grep -qF "$word" || fail "FILES lacks $word"
done
for suffix in K M G KiB MiB GiB KB MB GB 1.44M 1.25M; do
  section SIZES | grep -qw -- "$suffix" || fail "SIZES lacks $suffix"
done

commands=$(help_commands "$parvex")
[ -n "$commands" ] || fail "no commands read from parvex --help"
for c in $commands; do
  grep -q "^\.BI \"$c " <<<"$(section COMMANDS)" ||
    fail "COMMANDS does not describe $c"
  grep -qF ".SY \"parvex $c\"" <<<"$(section SYNOPSIS)" ||
    fail "SYNOPSIS lacks parvex $c"
  options=$(help_options "$parvex" "$c")
  [ -n "$options" ] || fail "no options read from parvex $c --help"
  text=$(section "Options of $c"; section "Options of every command")
  for o in $options; do
    grep -qwF -- "$o" <<<"$text" ||
      fail "the man page does not describe $c's option $o under \"Options of $c\""
  done
done
finish
