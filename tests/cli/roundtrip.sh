# Cut and join back through parvex: the joined file equals the source byte
# for byte, whichever name selects the set and wherever the pieces go.
source "$(dirname "$0")/lib.sh" "$1"

# Default size: every piece but the last is exactly 1457664 bytes.
random_file report.txt 3000001
run cut report.txt
expect_rc 0
expect_text out.txt "report.txt is cut into 3 files."
expect_size report.c00 1457664
expect_size report.c01 1457664
expect_size report.c02 $((3000001 + 284 - 2 * 1457664))
expect_absent report.c03

# Any piece selects the set; -d without a trailing "/" and with folders
# still to be made.
run join -d out/a/b report.c01
expect_rc 0
expect_text out.txt "report.txt is concatinated."
expect_same report.txt out/a/b/report.txt

# The name the set was cut from selects it too.
run join -d by-name/ report.txt
expect_rc 0
expect_same report.txt by-name/report.txt

# A size with a suffix, pieces into another folder, joined from there into
# the pieces' own folder (no -d).
run cut -s 64K -d pieces report.txt
expect_rc 0
count=$(( (3000001 + 284 + 65535) / 65536 ))
expect_text out.txt "report.txt is cut into $count files."
expect_size pieces/report.c00 65536
mkdir alone && mv pieces/report.c* alone/
run join alone/report.c00
expect_rc 0
expect_same report.txt alone/report.txt

# A piece size that holds only the header: piece 0 carries no data.
random_file small.bin 1000
run cut -s 284 -d tiny small.bin
expect_rc 0
expect_size tiny/small.c00 284
expect_text out.txt "small.bin is cut into 5 files."
run join -d tiny-out tiny/small.c03
expect_rc 0
expect_same small.bin tiny-out/small.bin

# A name with a blank and Japanese characters goes through the header's
# code page 932 and comes back unchanged.
random_file "データ 1.bin" 70000
run cut -s 32K -d jp "データ 1.bin"
expect_rc 0
expect_size "jp/データ 1.c00" 32768
run join -d jp-out "jp/データ 1.c02"
expect_rc 0
expect_same "データ 1.bin" "jp-out/データ 1.bin"

# Empty and one-piece files are not cut: nothing is written.
random_file exact.bin 1457664
run cut exact.bin
expect_rc 1
expect_text err.txt "exact.bin is 1,423 KB."
expect_absent exact.c00
: >empty.bin
run cut -s 1K empty.bin
expect_rc 1
expect_text err.txt "empty.bin is 0 KB."
expect_absent empty.c00

finish
