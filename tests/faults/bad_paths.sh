# Names that lead to the wrong kind of thing: a piece that is a folder, an
# output that is a folder, an output path whose folder is a file.
#   bad_paths.sh PARVEX
source "$(dirname "$0")/lib.sh" "$1"

random_file src.bin 300000
run cut -s 100K src.bin
expect_rc 0

# ---- a piece that is a folder ------------------------------------------------
mkdir in && cp src.c00 src.c02 in/ && mkdir in/src.c01
run join -d out in/src.c00
expect_rc 1
expect_text err.txt "in/src.c01: Is a directory"
expect_text err.txt "nothing was written"
expect_absent out/src.bin out/src.bin.part

# A cut whose piece 1 would replace a folder (asked, answered yes).
mkdir -p cutset/src.c01
run cut -y -s 100K -d cutset src.bin
expect_rc 1
expect_text err.txt "cutset/src.c01: Is a directory"
expect_size cutset/src.c00 102400
expect_piece0 cutset/src.c00 src.bin
[ -d cutset/src.c01 ] || fail "the folder cutset/src.c01 was replaced"
expect_absent cutset/src.c02

# ---- an output that is a folder ------------------------------------------------
mkdir -p outdir/src.bin
run join -y -d outdir src.c00
expect_rc 1
expect_text err.txt "outdir/src.bin: Is a directory"
[ -z "$(ls -A outdir/src.bin)" ] || fail "something was written into outdir/src.bin"

# ---- an output path whose folder is a file ---------------------------------------
echo "not a folder" >afile
cp afile afile.orig
for dest in afile afile/sub; do
  run join -d "$dest" src.c00
  expect_rc 1
  expect_text err.txt "$dest/src.bin.part: Not a directory"
  run cut -s 100K -d "$dest" src.bin
  expect_rc 1
  expect_text err.txt "$dest/src.c00.part: Not a directory"
done
expect_same afile.orig afile

finish
