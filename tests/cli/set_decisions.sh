# Decisions a command must take for the whole set before it writes: where a
# paused join writes and which list it checks, whether standard output is
# one of the set's files, every name of a cut (self-joining renames
# included), a source that is named like its own list, and what a list's
# lines name.
#   set_decisions.sh PARVEX HAS_STUB
source "$(dirname "$0")/lib.sh" "$1"
has_stub=${2:-0}

random_file data.bin 100000
mkdir set
cp data.bin set/
run cut -s 40K set/data.bin
expect_rc 0
rm set/data.bin

# ---- join -p: -o and --checksum hold when disk 1 comes at the prompt ----------
# paused_join ARGS...: `join -p ARGS` with the set's files away at the start;
# at the first prompt they are put into floppy/, then every prompt gets its
# own Enter. Status in $rc, standard error in err.txt.
paused_join() {
  rm -rf floppy away feed
  mkdir floppy away
  cp set/data.c0? away/
  [ -z "${SET_LIST:-}" ] || cp "$SET_LIST" away/
  mkfifo feed
  "$PARVEX" join -p "$@" <feed >out.txt 2>err.txt &
  local pid=$! k
  exec 3>feed
  if wait_for err.txt "Insert disk 1"; then
    mv away/* floppy/
    for k in 1 2 3; do
      wait_for err.txt "Insert disk $k" || break
      echo >&3
    done
  fi
  exec 3>&-
  reap "$pid" 20
}

mkdir out
SET_LIST=set/data.sha256 paused_join -o out/result.bin floppy/data.c00
expect_rc 0
expect_same data.bin out/result.bin
[ "$(ls floppy | tr '\n' ' ')" = "data.c00 data.c01 data.c02 data.sha256 " ] ||
  fail "join -p -o out/result.bin left files beside the pieces: $(ls floppy | tr '\n' ' ')"

# --checksum LIST from elsewhere, a damaged middle piece: the join fails and
# nothing gets the output's name.
mkdir lists && cp set/data.sha256 lists/
flip set/data.c01 1000
rm -f out/result.bin
paused_join -o out/result.bin --checksum lists/data.sha256 floppy/data.c00
expect_rc 1
expect_text err.txt "data.c01: damaged"
expect_absent out/result.bin floppy/data.bin floppy/data.bin.part
# A fresh cut for what follows.
cp data.bin set/ && run cut -y -s 40K set/data.bin && rm set/data.bin
expect_rc 0

# ---- standard output that is one of the set's files ----------------------------
# >> and 1<> leave the file as it was: refused before the first byte, the
# message naming standard output and the file. > has emptied it already;
# nothing may be written into it either.
for target in data.c00 data.c01 data.c02 data.sha256; do
  for how in append rw trunc; do
    rm -rf so && cp -r set so && cp "so/$target" keep.bin
    case $how in
      append) "$PARVEX" join -o - so/data.c00 </dev/null >>"so/$target" 2>err.txt ;;
      rw) "$PARVEX" join -o - so/data.c00 </dev/null 1<>"so/$target" 2>err.txt ;;
      trunc) "$PARVEX" join -o - so/data.c00 </dev/null >"so/$target" 2>err.txt ;;
    esac
    rc=$?
    [ "$rc" = 1 ] || fail "join -o - with standard output $how onto $target: status $rc, expected 1; stderr: $(head -c 400 err.txt)"
    if [ "$how" = trunc ]; then
      expect_size "so/$target" 0
    else
      cmp -s keep.bin "so/$target" ||
        fail "join -o - with standard output $how onto $target changed it ($(stat -c %s "so/$target") bytes, was $(stat -c %s keep.bin))"
      grep -q "standard output.*$target" err.txt ||
        fail "the refusal of standard output $how onto $target names not both: $(head -c 400 err.txt)"
    fi
  done
done

# ---- a cut decides every name before piece 0 -----------------------------------
# A taken name at the last piece (or at the list) with -n: nothing at all.
for taken in data.c02 data.sha256; do
  rm -rf taken && mkdir taken && cp data.bin taken/ && echo old >"taken/$taken"
  run cut -n -s 40K taken/data.bin
  expect_rc 1
  expect_text err.txt "$taken already exists"
  [ "$(ls taken | tr '\n' ' ')" = "$(printf '%s\n' data.bin "$taken" | sort | tr '\n' ' ')" ] ||
    fail "cut -n with $taken taken wrote: $(ls taken | tr '\n' ' ')"
  expect_text "taken/$taken" old
done

# A self-joining cut with a stale _sX.c01 and no _sX.exe: the whole set is
# renamed, piece 0 included, and the stale piece is left alone.
if [ "$has_stub" = 1 ]; then
  mkdir sj && cp data.bin sj/X.exe && echo stale >sj/_sX.c01 && cp sj/_sX.c01 stale.orig
  run cut -y -x -s 40K sj/X.exe
  expect_rc 0
  expect_absent sj/_sX.exe sj/_sX.c02 sj/_sX.sha256
  for f in __sX.exe __sX.c01 __sX.c02 __sX.sha256; do
    [ -s "sj/$f" ] || fail "the renamed self-joining set lacks sj/$f: $(ls sj | tr '\n' ' ')"
  done
  expect_same stale.orig sj/_sX.c01
  run join -d sj-out sj/__sX.exe
  expect_rc 0
  expect_same data.bin sj-out/X.exe
fi

# ---- a source named like its own list ----------------------------------------
mkdir own && cp data.bin own/x.sha256
run cut -y -s 40K own/x.sha256
expect_rc 1
expect_text err.txt "x.sha256"
expect_same data.bin own/x.sha256
[ "$(ls own)" = x.sha256 ] || fail "a refused cut of x.sha256 wrote: $(ls own | tr '\n' ' ')"
run cut -y --no-checksum -s 40K own/x.sha256
expect_rc 0
expect_same data.bin own/x.sha256
# (x.sha256 beside the pieces is the source, not a list: --no-verify.)
"$PARVEX" join --no-verify -o - own/x.c00 </dev/null 2>err.txt | cmp -s - data.bin ||
  fail "the set cut from x.sha256 does not join back: $(cat err.txt)"

# ---- what a list's lines name ------------------------------------------------
# ./data.c00, as `sha256sum ./data.*` writes it, is data.c00.
rm -rf dot && cp -r set dot
(cd dot && sha256sum ./data.c0? >data.sha256 &&
  sha256sum data.c00 data.c01 data.c02 >plain.sha256 &&
  sed 's|  |  ./|' plain.sha256 >dotted.sha256 &&
  sha256sum ../data.bin | sed 's|\.\./|./|' >>dotted.sha256)
run verify dot/data.c00
expect_rc 0
expect_no_text out.txt "not listed"
(cd dot && sha256sum -c --strict data.sha256 >/dev/null 2>&1) ||
  fail "sha256sum -c refuses the ./ list of a good set"
flip dot/data.c01 500
run verify dot/data.c00
expect_rc 1
expect_text out.txt "damaged"
expect_no_text out.txt "verified"
(cd dot && sha256sum -c --strict data.sha256 >/dev/null 2>&1) &&
  fail "sha256sum -c accepts the damaged set (the test is wrong)"
run join -y -d dot-out dot/data.c00
expect_rc 1
expect_text err.txt "data.c01: damaged"
expect_absent dot-out/data.bin
# The same with plain names (no line for the source), and with ./ names
# and the source's line.
for list in plain dotted; do
  run join -y --checksum "dot/$list.sha256" -d "dot-$list" dot/data.c00
  expect_rc 1
  expect_text err.txt "data.c01: damaged"
  expect_absent "dot-$list/data.bin"
  run verify --checksum "dot/$list.sha256" dot/data.c00
  expect_rc 1
  expect_text out.txt "damaged"
done

# One piece twice, with two digests: verify and join name the line.
rm -rf twice && cp -r set twice
(cd twice && sha256sum data.c00 data.c01 data.c02 >data.sha256 &&
  printf '%064d  data.c01\n' 0 >>data.sha256)
run verify twice/data.c00
expect_rc 1
expect_text err.txt "line 4"
expect_no_text out.txt "verified"
run join -y -d twice-out twice/data.c00
expect_rc 1
expect_text err.txt "line 4"
expect_absent twice-out

# A list that names none of the set's pieces: nothing was compared.
rm -rf none && cp -r set none
(cd none && sha256sum data.c00 data.c01 data.c02 | sed 's/data\.c/other.c/' >data.sha256)
run verify none/data.c00
expect_rc 1
expect_no_text out.txt "verified"
run join -y -d none-out none/data.c00
expect_rc 1
expect_absent none-out
run join -o none-o.bin none/data.c00
expect_rc 1
expect_absent none-o.bin none-o.bin.part

finish
