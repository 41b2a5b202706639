# Messages as coreutils writes them: "parvex: " in front of everything on
# standard error, "parvex: FILE: cause" with the system's cause in the
# user's locale, singular and plural, a clean --help with examples and the
# size suffixes, "unknown command", -q, and Japanese help and usage errors.
#   messages.sh PARVEX HAS_STUB
source "$(dirname "$0")/lib.sh" "$1"

# every_line_prefixed: each line of err.txt starts with "parvex: ", and
# none with it twice.
every_line_prefixed() {
  local line
  while IFS= read -r line; do
    case $line in
      "parvex: parvex: "*) fail "doubled prefix (line ${BASH_LINENO[0]}): $line" ;;
      "parvex: "*) ;;
      *) fail "line without prefix (line ${BASH_LINENO[0]}): $line" ;;
    esac
  done <err.txt
  [ -s err.txt ] || fail "nothing on standard error (line ${BASH_LINENO[0]})"
}

random_file data.bin 5000
random_file big.bin 3000

# Failures, refusals, questions, usage errors: all prefixed.
run cut nothere.bin;             expect_rc 1; every_line_prefixed
expect_text err.txt "parvex: nothere.bin: No such file or directory"
run join nothere.c00;            expect_rc 1; every_line_prefixed
expect_text err.txt "parvex: nothere.c00: No such file or directory"
run info nothere.c00;            expect_rc 1; every_line_prefixed
run cut -s 1M data.bin;          expect_rc 1; every_line_prefixed
expect_text err.txt "parvex: There is no need to cut it."
run cut -s 2K data.bin;          expect_rc 0
run cut -s 2K data.bin;          expect_rc 1; every_line_prefixed
expect_text err.txt "parvex: data.c00 already exists."
run cut --no-checksum -s 2K data.bin; expect_rc 1; every_line_prefixed
expect_text err.txt "parvex: data.c00 already exists."
run cut -s 1X data.bin;          expect_rc 2; every_line_prefixed
run cut;                         expect_rc 2; every_line_prefixed
run join -y -n data.c00;         expect_rc 2; every_line_prefixed
run cut --bogus data.bin;        expect_rc 2; every_line_prefixed
run;                             expect_rc 2; every_line_prefixed
mkdir folder.bin
run cut folder.bin;              expect_rc 1; every_line_prefixed
expect_text err.txt "parvex: folder.bin: Is a directory"
rm -f data.c0* data.sha256

# An unknown command names the commands there are.
for word in frobnicate Cut joinx; do
  run "$word" data.bin
  expect_rc 2
  every_line_prefixed
  expect_text err.txt "parvex: unknown command '$word'; the commands are cut, join, info"
done

# The cause is the system's text in the user's locale. The locale is made
# here when the system lacks it (as root, with the locales package).
have_ja() { locale -a 2>/dev/null | grep -qix 'ja_JP.utf-\?8'; }
if ! have_ja && [ "$(id -u)" = 0 ]; then
  localedef -i ja_JP -f UTF-8 ja_JP.UTF-8 >/dev/null 2>&1 ||
    { grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null ||
        echo 'ja_JP.UTF-8 UTF-8' >>/etc/locale.gen
      locale-gen >/dev/null 2>&1; }
fi
if have_ja; then
  # What the system says for a missing file, in Japanese (coreutils cat).
  cause=$(LANG=ja_JP.UTF-8 cat nothere.bin 2>&1 | sed 's/.*: //')
  english=$(LANG=C cat nothere.bin 2>&1 | sed 's/.*: //')
  [ -n "$cause" ] && [ "$cause" != "$english" ] ||
    fail "the system gives no Japanese text for ENOENT: '$cause'"
  LANG=ja_JP.UTF-8 run cut nothere.bin
  expect_rc 1
  expect_text err.txt "parvex: nothere.bin: $cause"
  LANG=ja_JP.UTF-8 run join nothere.c00
  expect_rc 1
  expect_text err.txt "parvex: nothere.c00: $cause"
  LC_ALL=ja_JP.UTF-8 run join -o missing/dir/out.bin nothere.c00
  expect_text err.txt "$cause"
  expect_no_text err.txt "No such file"
else
  echo "skipped: no ja_JP.UTF-8 locale and none could be made (localedef, locale-gen); the localised cause is not tested" >&2
fi

# Singular and plural in parvex's own texts.
random_file one.bin 717   # 216 + 500 + 1: the last piece holds 1 byte
run cut -s 500 one.bin
expect_rc 0
run info one.c00
expect_rc 0
expect_text out.txt "source size: 717 bytes"
grep -Eq 'one\.c02 +1 byte$' out.txt || fail "info does not say '1 byte': $(cat out.txt)"
expect_text out.txt "complete: 3 pieces hold all 717 bytes."
truncate -s 0 one.c02
run info one.c00
expect_rc 1
expect_text out.txt "incomplete: 1 of 717 bytes is missing."
expect_text out.txt "0 bytes"
run cut -s 1 one.bin
expect_rc 2
expect_text err.txt "A piece size of 1 byte cannot hold the 284 bytes"
for f in out.txt err.txt; do
  expect_no_text $f "1 bytes"
  expect_no_text $f "1 pieces"
done
LANG=ja_JP.UTF-8 run cut -s 1 one.bin
expect_text err.txt "分割サイズ 1 バイトでは先頭の 284 バイトが入りません."
rm -f one.c0*

# --help: metavariables alone, no CLI11 artefacts, examples, the suffixes.
for c in "" cut join info; do
  # shellcheck disable=SC2086
  run $c --help
  expect_rc 0
  for artefact in "SIZE:SIZE" "TEXT" "REQUIRED" "Excludes" "Needs" ":DIR" \
                  "Positionals" "SUBCOMMAND"; do
    expect_no_text out.txt "$artefact"
  done
  expect_text out.txt "Usage: parvex"
  expect_text out.txt "Example"
done
run --help
expect_text out.txt "Usage: parvex [OPTIONS] COMMAND"
expect_text out.txt "Commands:"
run cut --help
for word in "FILE" "-d, --destination DIR" "-s, --size SIZE" "--pieces N" \
            "--name NAME" "-q, --quiet" "K, M, G or KiB, MiB, GiB" \
            "KB, MB, GB (powers of 1000)" "1.44M (1457664)" "1.25M (1250304)" \
            "parvex cut -s 25MB"; do
  expect_text out.txt "$word"
done
run join --help
for word in "-o FILE" "-d, --destination DIR" "parvex join -o - backup.c00 | sha256sum"; do
  expect_text out.txt "$word"
done

# Japanese help and usage errors.
for c in "" cut join info; do
  # shellcheck disable=SC2086
  LANG=ja_JP.UTF-8 run $c --help
  expect_rc 0
  expect_text out.txt "使い方: parvex"
  expect_text out.txt "例:"
  expect_no_text out.txt "Usage"
  expect_no_text out.txt "Options:"
  expect_no_text out.txt "Commands:"
  expect_no_text out.txt "Print this help"
done
LANG=ja_JP.UTF-8 run cut --help
expect_text out.txt "1024 の累乗"
LANG=ja_JP.UTF-8 run frobnicate
expect_rc 2
expect_text err.txt "parvex: 不明なコマンドです: 'frobnicate'"
LANG=ja_JP.UTF-8 run cut
expect_rc 2
expect_text err.txt "parvex: FILE を指定してください"
LANG=ja_JP.UTF-8 run
expect_rc 2
expect_text err.txt "parvex: コマンドを指定してください: cut, join, info"
LANG=ja_JP.UTF-8 run cut -y -n data.bin
expect_rc 2
expect_text err.txt "同時に指定できません"
LANG=ja_JP.UTF-8 run cut --bogus data.bin
expect_rc 2
expect_text err.txt "parvex: 不明なオプションです: --bogus"
expect_text err.txt "parvex: 詳しくは 'parvex cut --help' を見てください."
LANG=ja_JP.UTF-8 run cut --pieces 10001 data.bin
expect_rc 2
expect_text err.txt "分割数が正しくありません"
expect_text err.txt "N は 2 から 10000 までの整数です (1 組は最大 10000 個)"

# -q: no closing message (and, on a terminal, no progress line).
run cut -q -s 2K data.bin
expect_rc 0
[ -s out.txt ] && fail "cut -q printed: $(cat out.txt)"
[ -s err.txt ] && fail "cut -q printed on standard error: $(cat err.txt)"
run join -q -d back data.c00
expect_rc 0
[ -s out.txt ] && fail "join -q printed: $(cat out.txt)"
expect_same data.bin back/data.bin
if script -qec true /dev/null >/dev/null 2>&1; then
  rm -rf back
  script -qec "'$PARVEX' join -d back data.c00" /dev/null >tty.txt 2>&1
  grep -q '\[#*\.*\] *[0-9]*%' tty.txt || fail "no progress line on a terminal: $(cat -v tty.txt)"
  expect_text tty.txt "data.bin is concatinated."
  rm -rf back
  script -qec "'$PARVEX' join -q -d back data.c00" /dev/null >tty.txt 2>&1
  [ -s tty.txt ] && fail "join -q on a terminal printed: $(cat -v tty.txt)"
  expect_same data.bin back/data.bin
else
  echo "note: no pseudo-terminal (script); the progress line under -q is not tried" >&2
fi
finish
