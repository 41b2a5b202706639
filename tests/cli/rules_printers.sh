# Every name parvex prints reaches the terminal harmless, wherever it comes
# from: a header's name field, a piece's or a list's name on disk, a folder,
# an argument. Each command of the table below runs once per hostile name;
# neither standard output nor standard error may then hold a control byte
# (0x00-0x08, 0x0b-0x1f, 0x7f), a C1 control (U+0080-U+009F) or a byte that
# is not valid UTF-8.
#   rules_printers.sh PARVEX HAS_STUB
source "$(dirname "$0")/lib.sh" "$1"
has_stub=${2:-0}

# The hostile parts of a name, two names holding them all (any one that
# leaks fails the check): ESC sequences (colour, window title) with C1's
# CSI in UTF-8; a newline, a carriage return, a lone byte that is no
# UTF-8, DEL with a backspace.
hostile=($'\e[31m\e]0;x\a\xc2\x9b' $'\n\r\x9b\x7f\b')

checked=0
# probe ARGS...: runs parvex (at most 10 s, standard input from $IN or
# /dev/null) and checks what it printed (standard error alone when DATA=1:
# then standard output carries the joined bytes).
probe() {
  timeout 10 "$PARVEX" "$@" <"${IN:-/dev/null}" >out.txt 2>err.txt
  rc=$?
  checked=$((checked + 1))
  [ "$rc" != 124 ] || fail "parvex $(printf '%q ' "$@")still ran after 10 s"
  local f
  for f in out.txt err.txt; do
    [ "$f" = out.txt ] && [ "${DATA:-0}" = 1 ] && continue
    if LC_ALL=C grep -qaP '[\x00-\x08\x0b-\x1f\x7f]|\xc2[\x80-\x9f]' "$f" ||
       ! iconv -f UTF-8 -t UTF-8 "$f" >/dev/null 2>&1; then
      fail "parvex $(printf '%q ' "$@")printed unsafe bytes on $([ $f = out.txt ] && echo standard output || echo standard error): $(LC_ALL=C grep -naP '[\x00-\x08\x0b-\x1f\x7f\x80-\xff]' "$f" | head -3 | od -An -c | head -6 | tr -s ' \n' ' ')"
    fi
  done
}
# named_set DIR NAME: a 3-piece set in DIR whose header says NAME, pieces
# and list under plain names (h.c00 ... h.sha256).
named_set() {
  mkdir -p "$1"
  header "$1/h.c00" 'h' 10000
  printf '%s\0' "$2" | dd of="$1/h.c00" bs=1 seek=20 conv=notrunc status=none
  cat data.bin >>"$1/h.c00"
  truncate -s 4096 "$1/h.c00"
  tail -c +$((4096 - 284 + 1)) data.bin | head -c 4096 >"$1/h.c01"
  tail -c +$((2 * 4096 - 284 + 1)) data.bin >"$1/h.c02"
  (cd "$1" && sha256sum h.c00 h.c01 h.c02 >h.sha256)
}

random_file data.bin 10000
run cut -s 4K -d good data.bin
expect_rc 0

i=0
for bad in "${hostile[@]}"; do
  i=$((i + 1))
  n="n${bad}x"   # the hostile part inside a name

  # ---- a header that carries it (the pieces' names are plain) ---------------
  named_set "h$i" "$n.bin"
  probe info "h$i/h.c00"
  probe verify "h$i/h.c00"
  probe join -y -d "h$i-out" "h$i/h.c00"
  DATA=1 probe join -o - "h$i/h.c00"
  probe join -y -o "h$i-o.bin" "h$i/h.c00"
  mv "h$i/h.c01" "h$i/h.c01.away"
  probe info "h$i/h.c00"
  probe verify "h$i/h.c00"
  probe join -y -d "h$i-out" "h$i/h.c00"
  mv "h$i/h.c01.away" "h$i/h.c01"
  flip "h$i/h.c02" 10
  probe verify "h$i/h.c00"
  probe join -y -o "h$i-o.bin" "h$i/h.c00"
  rm "h$i/h.sha256"
  probe verify "h$i/h.c00"
  probe join -y -d "h$i-out" "h$i/h.c00"
  # The name also as a .cNN file's own base: join NAME finds no set.
  probe join "h$i/$n.bin"

  # ---- pieces, list and folders on disk that carry it -----------------------
  d="d$i$n"
  mkdir "$d"
  for k in 00 01 02; do cp "good/data.c$k" "$d/$n.c$k"; done
  (cd "$d" && sha256sum -- "$n.c00" "$n.c01" "$n.c02" >"$n.sha256" 2>/dev/null)
  probe info "$d/$n.c01"
  probe verify "$d/$n.c00"
  probe join -y -d "$d-out" "$d/$n.c02"
  DATA=1 probe join -o - "$d/$n.c00"
  probe join -y -o "$d/$n.out" "$d/$n.c00"
  probe join -n -o "$d/$n.out" "$d/$n.c00"        # the question, Cancel
  probe join -o "$d/$n.c01" "$d/$n.c00"           # an input of the join
  probe join -y --checksum "$d/$n.missing" -d "$d-out" "$d/$n.c00"
  mv "$d/$n.c01" "$d/away"
  probe info "$d/$n.c00"
  probe verify "$d/$n.c00"
  probe join -y -d "$d-out" "$d/$n.c00"
  mv "$d/away" "$d/$n.c01"
  flip "$d/$n.c01" 10
  probe verify "$d/$n.c00"
  probe join -y -d "$d-out" "$d/$n.c00"
  DATA=1 probe join -o - "$d/$n.c00"
  rm -f "$d/$n.sha256"
  probe verify "$d/$n.c00"

  # ---- cuts of a file with the name, and of standard input under it ----------
  mkdir "c$i"
  cp data.bin "c$i/$n.bin"
  probe cut -s 4K "c$i/$n.bin"
  probe cut -n -s 4K "c$i/$n.bin"                # taken names, Cancel
  probe cut -s 4K -d "c$i/$n-dir" data.bin
  probe cut -s 4K "c$i/$n.missing"
  probe cut -s 1M "c$i/$n.bin"                    # no need to cut it
  probe cut -x -s 4K "c$i/$n.bin"
  IN=data.bin probe cut - --name "$n.bin" -s 4K -d "c$i-stream"
  IN=data.bin probe cut - --name "p$i.bin" -s 4K -d "c$i-stream/$n"

  # ---- arguments: unknown commands and options, bad values -------------------
  probe "$n"
  probe cut "--$n" data.bin
  probe cut -s "$n" data.bin
  probe join --checksum "$n" good/data.c00
  probe info "$n.c00"
  probe verify "good/$n.c00"
done

# A self-joining set whose program's stem carries the names.
if [ "$has_stub" = 1 ]; then
  i=0
  for bad in "${hostile[@]}"; do
    i=$((i + 1))
    mkdir "x$i" && cp data.bin "x$i/s${bad}x.exe"
    probe cut -x -s 4K "x$i/s${bad}x.exe"
    probe info "x$i/_ss${bad}x.exe"
    probe join -y -d "x$i-out" "x$i/_ss${bad}x.exe"
  done
fi

[ "$checked" -ge 80 ] || fail "only $checked commands were checked"
finish
