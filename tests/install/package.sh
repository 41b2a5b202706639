# cpack -G DEB: the package's name, control fields and file list, and the
# binary extracted from it runs. Nothing is installed on this machine: the
# package is built into and unpacked in a scratch folder.
#   package.sh BUILD_DIR VERSION HAS_WINDOWS
source "$(dirname "$0")/lib.sh"
build=$1 version=$2 HAS_WINDOWS=$3

# cpack reads CPackConfig.cmake before it brings the build up to date; a
# build first regenerates that file when the install rules have changed.
(cd "$build" && cmake --build . --target parvex &&
  cpack -G DEB -B "$WORK/out") >"$WORK/cpack.log" 2>&1 ||
  { cat "$WORK/cpack.log" >&2; fail "cpack failed"; finish; }
arch=$(dpkg --print-architecture)
deb=$WORK/out/parvex_${version}_${arch}.deb
found=$(cd "$WORK/out" && ls ./*.deb 2>/dev/null)
[ -f "$deb" ] || { fail "no ${deb##*/}; cpack made: $found"; finish; }

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = parvex ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version), parvex says $version"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture: $(field Architecture)"
[ "$(field Section)" = utils ] || fail "Section: $(field Section)"
grep -Eq '^[^<]+ <[^@>]+@[^>]+>$' <<<"$(field Maintainer)" ||
  fail "Maintainer is not \"Name <address>\": $(field Maintainer)"
[ -n "$(field Description)" ] || fail "no Description"
# Depends comes from dpkg-shlibdeps: the libraries parvex links, each with a
# version (libssl3 holds libcrypto, for the checksums).
depends=$(field Depends)
for lib in libc6 'libstdc\+\+6' libgcc-s1 libssl3; do
  grep -Eq "(^|, )$lib \(>= [0-9][^)]*\)" <<<"$depends" ||
    fail "Depends lacks a versioned $lib: \"$depends\""
done

# The file list: the install tree under /usr, with the usual modes, except
# that Debian keeps zsh completions in vendor-completions and compresses man
# pages.
listing=$(dpkg-deb -c "$deb")
root=$WORK/root
dpkg-deb -x "$deb" "$root" || fail "dpkg-deb -x failed"
# shellcheck disable=SC2046
expect_files "$root/usr" $(installed_files |
  sed -e 's|^share/zsh/site-functions/|share/zsh/vendor-completions/|' \
      -e 's|^share/man/man1/parvex\.1$|&.gz|')
gunzip -c "$root/usr/share/man/man1/parvex.1.gz" 2>/dev/null |
  cmp -s - "$(dirname "$0")/../../doc/parvex.1" ||
  fail "usr/share/man/man1/parvex.1.gz does not hold doc/parvex.1"
# The folder is one Debian's zsh searches.
if command -v zsh >/dev/null; then
  zsh -fc 'print -l $fpath' | grep -qx /usr/share/zsh/vendor-completions ||
    fail "zsh's fpath lacks /usr/share/zsh/vendor-completions: $(zsh -fc 'echo $fpath')"
fi
grep -Eq '^-rwxr-xr-x root/root .* \./usr/bin/parvex$' <<<"$listing" ||
  fail "usr/bin/parvex is not root-owned mode 755: $(grep bin/parvex <<<"$listing")"
grep -E '^-' <<<"$listing" | grep -v '/usr/bin/parvex$' | grep -Ev '^-rw-r--r-- root/root ' &&
  fail "a data file is not root-owned mode 644"
expect_runs "$root/usr/bin/parvex" "$version"
finish
