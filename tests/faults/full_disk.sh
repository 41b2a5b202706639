# A cut and a join onto a disk that fills up: a 1 MiB tmpfs mounted here, so
# this runs only as root (where mounting is allowed).
#   full_disk.sh PARVEX
source "$(dirname "$0")/lib.sh" "$1"

[ "$(id -u)" = 0 ] || skip "mounting a small tmpfs needs root"
mkdir disk
mount -t tmpfs -o size=1m pvx-full-disk disk 2>mount.err ||
  skip "cannot mount a tmpfs here: $(cat mount.err)"
CLEANUP+=("umount '$WORK/disk'")
random_file src.bin 3000000

# Cut: piece 0 (716800 bytes) fits; piece 1 finds no room for its length
# and is refused before its data is written.
run cut -s 700K -d disk src.bin
expect_rc 1
expect_text err.txt "disk/src.c01: No space left on device"
expect_size disk/src.c00 716800
expect_piece0 disk/src.c00 src.bin
expect_absent disk/src.c01 disk/src.c01.part disk/src.c02

# Join: the pieces on a roomy disk, the output onto the full one.
rm -f disk/*
run cut -s 700K src.bin
expect_rc 0
run join -d disk src.c00
expect_rc 1
expect_text err.txt "disk/src.bin: No space left on device"
expect_absent disk/src.bin disk/src.bin.part

finish
