# `parvex info` on complete, short, long and foreign sets (status 0 only for
# a complete one, and nothing written), and how a name selects a plain or a
# self-joining set for info and join.
source "$(dirname "$0")/lib.sh" "$1"

# listing FOLDER: names, sizes and times, to show that nothing changed.
listing() { ls -l --time-style=full-iso "$1"; }

mkdir set
random_file set/report.txt 10000
run cut -s 4K set/report.txt
expect_rc 0
listing set >before.txt

run info set/report.c01
expect_rc 0
expect_text out.txt "report.c00: piece set"
expect_text out.txt "source file: report.txt"
expect_text out.txt "source size: 10,000 bytes"
expect_text out.txt "complete: 3 pieces hold all 10,000 bytes."
listing set >after.txt
expect_same before.txt after.txt

# A missing last piece, a short piece, a piece with bytes too many.
mv set/report.c02 c02.keep
run info set/report.c00
expect_rc 1
expect_text out.txt "report.c02"
expect_text out.txt "missing"
expect_text out.txt "incomplete: 2,092 of 10,000 bytes are missing."
cp c02.keep set/report.c02
head -c 100 c02.keep >set/report.c02
run info set/report.c00
expect_rc 1
expect_text out.txt "incomplete: 1,992 of 10,000 bytes are missing."
cat c02.keep c02.keep >set/report.c02
run info set/report.c00
expect_rc 1
expect_text out.txt "2,092 bytes more than the source size"
cp c02.keep set/report.c02

# Not a piece set, and no set at all.
random_file other.c00 5000
run info other.c00
expect_rc 1
expect_text err.txt "other.c00 is not a PvX file."
run info nothing.c00
expect_rc 1
expect_text err.txt "nothing.c00: No such file or directory"

# A self-joining set: a stand-in for the stub program (an image whose section
# table ends at byte 1024), then the plain piece 0's header and data, then
# the further pieces under the program's stem.
head -c 1024 /dev/zero >stub.bin
put() { printf "$2" | dd of=stub.bin bs=1 seek=$(($1)) conv=notrunc status=none; }
put 0 'MZ'
put 0x3C '\x40'
put 0x40 'PE'
put 0x46 '\x02'             # two sections
put 0x138 '.text'
put 0x160 '.data'
put 0x170 '\x00\x02'        # SizeOfRawData 0x200
put 0x174 '\x00\x02'        # PointerToRawData 0x200
mkdir self
cp set/report.txt self/
cat stub.bin set/report.c00 >self/_sReport.exe
cp set/report.c01 self/_sReport.c01
cp set/report.c02 self/_sReport.c02

run info self/_sReport.c01
expect_rc 0
expect_text out.txt "_sReport.exe: self-joining piece set (stub program of 1,024 bytes)"
expect_text out.txt "complete: 3 pieces hold all 10,000 bytes."

# join takes the program, any of its pieces, or the name it was cut from.
n=0
for name in _sReport.exe _sReport.c02 report.txt; do
  n=$((n + 1))
  run join -d "out$n" "self/$name"
  expect_rc 0
  expect_text out.txt "report.txt is concatinated."
  expect_same set/report.txt "out$n/report.txt"
done

# A program with nothing behind its image, and a .exe that is no program.
cp stub.bin lone.exe
run join -d out-lone lone.exe
expect_rc 1
expect_text err.txt "lone.exe is not a PvX file."
random_file noise.exe 3000
run info noise.exe
expect_rc 1
expect_text err.txt "noise.exe is not a PvX file."

# A plain set cut from a program: naming the program joins the plain set.
mkdir prog
cp stub.bin prog/setup.exe
random_file more.bin 9000 && cat more.bin >>prog/setup.exe
run cut -s 4K prog/setup.exe
expect_rc 0
run join -d out-prog prog/setup.exe
expect_rc 0
expect_same prog/setup.exe out-prog/setup.exe

finish
