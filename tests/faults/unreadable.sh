# Permissions: a middle piece that cannot be read, a source that cannot be
# read, a destination folder that cannot be written. Root ignores
# permissions, so under root the runs go as the user nobody (65534, through
# setpriv) in a folder that user owns.
#   unreadable.sh PARVEX
source "$(dirname "$0")/lib.sh" "$1"

if [ "$(id -u)" = 0 ]; then
  command -v setpriv >/dev/null || skip "running as root without setpriv"
  AS="setpriv --reuid=65534 --regid=65534 --clear-groups"
  chmod 755 "$WORK"
  mkdir user
  cp "$PARVEX" user/parvex  # the build tree may be closed to that user
  chown -R 65534:65534 user
  PARVEX=$WORK/user/parvex
  $AS true 2>setpriv.err || skip "setpriv cannot switch users: $(cat setpriv.err)"
  cd user || exit 1
fi
as_user() { ${AS:-} "$@"; }

as_user sh -c 'head -c 300000 /dev/urandom >src.bin'
run cut -s 100K src.bin
expect_rc 0

# ---- a middle piece that cannot be read ----------------------------------------
as_user chmod 000 src.c01
run join -d out src.c00
expect_rc 1
expect_text err.txt "src.c01: Permission denied"
expect_text err.txt "nothing was written"
expect_absent out/src.bin out/src.bin.part
as_user chmod 644 src.c01

# ---- a source that cannot be read: nothing is made ---------------------------------
as_user chmod 000 src.bin
run cut -s 100K -d set src.bin
expect_rc 1
expect_text err.txt "src.bin: Permission denied"
expect_absent set
as_user chmod 644 src.bin

# ---- a destination folder that cannot be written -----------------------------------
as_user mkdir locked
as_user chmod 555 locked
run join -d locked src.c00
expect_rc 1
expect_text err.txt "locked/src.bin.part: Permission denied"
run cut -s 100K -d locked src.bin
expect_rc 1
expect_text err.txt "locked/src.c00.part: Permission denied"
[ -z "$(ls -A locked)" ] || fail "something was written into locked/"

finish
