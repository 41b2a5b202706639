# `info` exits 0 exactly when `join -y` would go ahead and succeed, whatever
# is wrong with the set: missing, short or long pieces, a header name that is
# one of the set's own files, a path, too long for NAME.part, a device name,
# something that is not a regular file at the output name, a list that
# cannot be read. Each row makes one set in its own folder; info's verdict
# is compared with a join in place (the name in the header, beside the
# pieces) and, where the place does not matter, with a join into an empty
# folder given by -d.
#   rules_info_join.sh PARVEX HAS_STUB
source "$(dirname "$0")/lib.sh" "$1"
has_stub=${2:-0}

random_file data.bin 100000
run cut -s 40K -d base data.bin
expect_rc 0

# renamed DIR NAME: the base set in DIR, its header saying NAME (printf
# escapes allowed), with a list that matches.
renamed() {
  cp -r base "$1"
  head -c 264 /dev/zero | dd of="$1/data.c00" bs=1 seek=20 conv=notrunc status=none
  put "$1/data.c00" 20 "$2"
  (cd "$1" && sha256sum data.c00 data.c01 data.c02 >data.sha256)
}
long_name() { printf "%$(($1 - 4))s.bin" '' | tr ' ' n; }

# One function per row: it makes the set in folder $1 and prints the piece
# to name, then the places to try ("here": in place only; "both": in place
# and into an empty folder).
row_complete() { cp -r base "$1"; echo "$1/data.c01 both"; }
row_no_list() { cp -r base "$1"; rm "$1/data.sha256"; echo "$1/data.c00 both"; }
row_missing_middle() { cp -r base "$1"; rm "$1/data.c01"; echo "$1/data.c00 both"; }
row_missing_last() { cp -r base "$1"; rm "$1/data.c02"; echo "$1/data.c00 both"; }
row_short_middle() { cp -r base "$1"; truncate -s 30000 "$1/data.c01"; echo "$1/data.c00 both"; }
row_empty_middle() { cp -r base "$1"; : >"$1/data.c01"; echo "$1/data.c00 both"; }
row_short_last() { cp -r base "$1"; truncate -s 100 "$1/data.c02"; echo "$1/data.c00 both"; }
row_surplus() { cp -r base "$1"; echo more >>"$1/data.c02"; echo "$1/data.c00 both"; }
row_extra_piece() { cp -r base "$1"; echo more >"$1/data.c03"; echo "$1/data.c00 both"; }
row_folder_piece() { cp -r base "$1"; rm "$1/data.c01"; mkdir "$1/data.c01"; echo "$1/data.c00 both"; }
row_fifo_piece() { cp -r base "$1"; rm "$1/data.c01"; mkfifo "$1/data.c01"; echo "$1/data.c00 both"; }
row_name_piece() { renamed "$1" 'data.c01'; echo "$1/data.c00 here"; }
row_name_piece0() { renamed "$1" 'data.c00'; echo "$1/data.c00 here"; }
row_name_list() { renamed "$1" 'data.sha256'; echo "$1/data.c00 here"; }
row_name_slash() { renamed "$1" 'sub/data.bin'; mkdir "$1/sub"; echo "$1/data.c00 both"; }
row_name_dotdot() { renamed "$1" '..'; echo "$1/data.c00 both"; }
row_name_dotdot_slash() { renamed "$1" '../escape.bin'; echo "$1/data.c00 both"; }
row_name_empty() { renamed "$1" ''; echo "$1/data.c00 both"; }
row_name_device() { renamed "$1" 'nul.tar.gz'; echo "$1/data.c00 both"; }
row_name_trailing_dot() { renamed "$1" 'data.bin.'; echo "$1/data.c00 both"; }
row_name_250() { renamed "$1" "$(long_name 250)"; echo "$1/data.c00 both"; }
row_name_251() { renamed "$1" "$(long_name 251)"; echo "$1/data.c00 both"; }
row_name_253() { renamed "$1" "$(long_name 253)"; echo "$1/data.c00 both"; }
row_name_255() { renamed "$1" "$(long_name 255)"; echo "$1/data.c00 both"; }
row_output_file() { cp -r base "$1"; echo old >"$1/data.bin"; echo "$1/data.c00 here"; }
row_output_folder() { cp -r base "$1"; mkdir "$1/data.bin"; echo "$1/data.c00 here"; }
row_output_fifo() { cp -r base "$1"; mkfifo "$1/data.bin"; echo "$1/data.c00 here"; }
row_output_link() { cp -r base "$1"; ln -s nowhere "$1/data.bin"; echo "$1/data.c00 here"; }
row_list_malformed() { cp -r base "$1"; printf 'zz  data.c00\n' >"$1/data.sha256"; echo "$1/data.c00 both"; }
row_list_foreign() {
  cp -r base "$1"
  sed 's/data\.c/other.c/' base/data.sha256 >"$1/data.sha256"
  echo "$1/data.c00 both"
}
row_list_twice() {
  cp -r base "$1"
  printf '%064d  data.c01\n' 0 >>"$1/data.sha256"
  echo "$1/data.c00 both"
}
row_list_folder() { cp -r base "$1"; rm "$1/data.sha256"; mkdir "$1/data.sha256"; echo "$1/data.c00 both"; }
# A self-joining set around a stand-in program (an image whose section table
# ends at byte 1024), as info.sh makes it.
row_self_joining() {
  mkdir "$1"
  head -c 1024 /dev/zero >"$1/stub"
  put "$1/stub" 0 'MZ'
  put "$1/stub" 0x3C '\x40'
  put "$1/stub" 0x40 'PE'
  put "$1/stub" 0x46 '\x02'
  put "$1/stub" 0x138 '.text'
  put "$1/stub" 0x160 '.data'
  put "$1/stub" 0x170 '\x00\x02'
  put "$1/stub" 0x174 '\x00\x02'
  cat "$1/stub" base/data.c00 >"$1/_sData.exe"
  rm "$1/stub"
  cp base/data.c01 "$1/_sData.c01"
  cp base/data.c02 "$1/_sData.c02"
  echo "$1/_sData.c01 both"
}
row_self_joining_missing() {
  row_self_joining "$1" >/dev/null
  rm "$1/_sData.c02"
  echo "$1/_sData.exe both"
}
row_self_joining_name_exe() {
  row_self_joining "$1" >/dev/null
  put "$1/_sData.exe" $((1024 + 20)) '_sData.exe\0'
  echo "$1/_sData.exe here"
}
row_real_stub() {
  mkdir "$1" && cp data.bin "$1/data.bin"
  "$PARVEX" cut -x -s 40K "$1/data.bin" </dev/null >/dev/null 2>&1
  rm "$1/data.bin"
  echo "$1/_sData.c02 both"
}
row_unreadable_piece() {
  cp -r base "$1"
  chmod 000 "$1/data.c01"
  echo "$1/data.c00 both"
}

rows=(complete no_list missing_middle missing_last short_middle empty_middle
      short_last surplus extra_piece folder_piece fifo_piece name_piece
      name_piece0 name_list name_slash name_dotdot name_dotdot_slash
      name_empty name_device name_trailing_dot name_250 name_251 name_253
      name_255 output_file output_folder output_fifo output_link
      list_malformed list_foreign list_twice list_folder self_joining
      self_joining_missing self_joining_name_exe)
[ "$has_stub" = 1 ] && rows+=(real_stub)
if [ "$(id -u)" != 0 ]; then
  rows+=(unreadable_piece)
else
  echo "note: run as root, so a piece with mode 000 is readable; that row is left out" >&2
fi

# The rows whose join must succeed: a check on the table itself, so that a
# parvex that fails (or passes) everything cannot agree with itself.
# (nul.tar.gz and a trailing "." are names only Windows refuses.)
good=" complete no_list extra_piece name_device name_trailing_dot name_250 "
good+="output_file output_link self_joining real_stub "

for r in "${rows[@]}"; do
  read -r piece places < <("row_$r" "$r")
  timeout 10 "$PARVEX" info "$piece" </dev/null >info.txt 2>info-err.txt
  info_rc=$?
  lines=$(cat info.txt info-err.txt | wc -l)
  [ "$lines" -lt 120 ] || fail "$r: info printed $lines lines for a set of 3 pieces"
  # In place, on a copy: the row's folder stays for the next join.
  rm -rf here && cp -a "$r" here
  timeout 10 "$PARVEX" join -y "here/${piece#*/}" </dev/null >out.txt 2>err.txt
  here_rc=$?
  [ "$here_rc" != 124 ] || fail "$r: join in place still ran after 10 s"
  if [ "$(( info_rc == 0 ))" != "$(( here_rc == 0 ))" ]; then
    fail "$r: info exits $info_rc but join -y in place exits $here_rc; info: $(tail -n 1 info.txt | head -c 200) $(head -c 200 info-err.txt); join: $(head -c 400 err.txt)"
  fi
  case $good in
    *" $r "*) [ "$here_rc" = 0 ] || fail "$r: join -y in place failed ($here_rc): $(head -c 400 err.txt)" ;;
    *) [ "$here_rc" != 0 ] || fail "$r: join -y in place succeeded" ;;
  esac
  if [ "$places" = both ]; then
    rm -rf empty && mkdir empty
    timeout 10 "$PARVEX" join -y -d empty "$piece" </dev/null >out.txt 2>err.txt
    away_rc=$?
    if [ "$(( info_rc == 0 ))" != "$(( away_rc == 0 ))" ]; then
      fail "$r: info exits $info_rc but join -y -d into an empty folder exits $away_rc; info: $(tail -n 1 info.txt | head -c 200) $(head -c 200 info-err.txt); join: $(head -c 400 err.txt)"
    fi
    [ "$away_rc" = 0 ] || [ -z "$(ls -A empty)" ] ||
      fail "$r: a failed join left $(ls -A empty | head -c 300) in the empty folder"
  fi
  [ "$info_rc" = 0 ] || [ "$info_rc" = 1 ] || fail "$r: info exits $info_rc"
done

finish
