# The command line itself: help, version, malformed arguments (status 2),
# the SIZE forms, and piece sizes too small to hold piece 0's head.
#   usage.sh PARVEX HAS_STUB (1 when parvex carries the stub program)
source "$(dirname "$0")/lib.sh" "$1"
has_stub=${2:-0}

run --help
expect_rc 0
for word in cut join info --version "Exit status"; do
  expect_text out.txt "$word"
done
run cut --help
expect_rc 0
for word in --destination --size 1.44M 1.25M --self-join --pause --yes --no FILE; do
  expect_text out.txt "$word"
done
run --version
expect_rc 0
grep -Eq '^parvex [0-9]+\.[0-9]+' out.txt || fail "--version printed: $(cat out.txt)"

# Malformed command lines: status 2, nothing written.
random_file data.bin 5000
bad_lines=(
  ""
  "frobnicate data.bin"
  "cut"
  "cut data.bin extra.bin"
  "cut --bogus data.bin"
  "cut -y -n data.bin"
  "join -y -n data.bin"
  "info"
  "cut -s 12Q data.bin"
  "cut -s 1.5M data.bin"
  "cut -s K data.bin"
  "cut -s 1KK data.bin"
  "cut -s -5 data.bin"
  "cut -s 4G data.bin"
  "cut -s 4294967296 data.bin"
  "cut -s 99999999999999999999999 data.bin"
)
for line in "${bad_lines[@]}"; do
  # shellcheck disable=SC2086
  run $line
  [ "$rc" = 2 ] || fail "parvex $line: exit status $rc, expected 2"
done
expect_absent data.c00

# The SIZE forms, seen in the length of piece 0 (or, past the file's own
# length, in the refusal to cut it).
random_file big.bin 1500000
for form in "1.44M 1457664 big.bin" "1.25M 1250304 big.bin" "1M 1048576 big.bin" \
            "3K 3072 data.bin" "1000 1000 data.bin" \
            "1G 1073741824 big.bin" "4294967295 4294967295 big.bin"; do
  set -- $form
  run cut -s "$1" -d "s$2" "$3"
  if [ "$2" -lt 1500000 ]; then
    expect_rc 0
    expect_size "s$2/${3%.bin}.c00" "$2"
  else
    expect_rc 1
    expect_text err.txt "There is no need to cut it."
  fi
done

# A size that cannot hold piece 0's head is a usage error, refused before
# anything is written.
run cut -s 283 -d small big.bin
expect_rc 2
expect_text err.txt "A piece size of 283 bytes cannot hold the 284 bytes"
expect_absent small

if [ "$has_stub" = 1 ]; then
  # With the stub, its image counts in piece 0's head as well.
  run cut -x -s 300 -d small big.bin
  expect_rc 2
  expect_text err.txt "A piece size of 300 bytes cannot hold the"
  expect_absent small
  run cut -x -s 1M -d self big.bin
  expect_rc 0
  expect_size self/_sBig.exe 1048576
  run join -d self-out self/_sBig.c01
  expect_rc 0
  expect_same big.bin self-out/big.bin
else
  # Without it, a self-joining cut is refused and writes nothing.
  run cut -x -s 1M -d self big.bin
  expect_rc 1
  expect_text err.txt "fail FindResource()"
  expect_absent self
fi

finish
