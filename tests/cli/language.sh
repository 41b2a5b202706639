# Japanese or English by the locale variables: the first non-empty of LC_ALL,
# LC_MESSAGES and LANG decides, and only a value starting with "ja" means
# Japanese.
source "$(dirname "$0")/lib.sh" "$1"

random_file small.bin 3000

# lang LC_ALL LC_MESSAGES LANG: runs `cut small.bin` under those values.
lang() {
  LC_ALL=$1 LC_MESSAGES=$2 LANG=$3 "$PARVEX" cut small.bin </dev/null >out.txt 2>err.txt
  rc=$?
}
japanese() {
  expect_rc 1
  expect_text err.txt "small.binは 2 KBです."
  expect_text err.txt "分割する必要はありません."
}
english() {
  expect_rc 1
  expect_text err.txt "small.bin is 2 KB."
  expect_no_text err.txt "分割"
}

lang "" "" ja_JP.UTF-8; japanese
lang "" "" ja; japanese
lang "" "" en_US.UTF-8; english
lang "" "" ""; english
lang C "" ja_JP.UTF-8; english
lang "" ja_JP.UTF-8 C; japanese
lang "" C ja_JP.UTF-8; english
lang ja_JP.eucJP C C; japanese
lang "" "" jp_JP; english

# parvex's own texts follow as well.
echo x >small.c00
LANG=ja_JP.UTF-8 "$PARVEX" cut -s 1K small.bin </dev/null >out.txt 2>err.txt
rc=$?
expect_rc 1
expect_text err.txt "small.c00 はすでに存在します."
expect_text err.txt "標準入力が端末ではないため"
rm small.c00
run cut -s 1K small.bin
expect_rc 0
LANG=ja_JP.UTF-8 "$PARVEX" info small.c00 >out.txt 2>err.txt
rc=$?
expect_rc 0
expect_text out.txt "元のファイル: small.bin"
expect_text out.txt "完全です"

finish
