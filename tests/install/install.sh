# cmake --install into a scratch prefix: every file lands where it belongs,
# nothing else is installed, and the installed parvex runs.
#   install.sh BUILD_DIR VERSION HAS_WINDOWS
source "$(dirname "$0")/lib.sh"
build=$1 version=$2 HAS_WINDOWS=$3

prefix=$WORK/prefix
cmake --install "$build" --prefix "$prefix" >"$WORK/install.log" 2>&1 ||
  { cat "$WORK/install.log" >&2; fail "cmake --install failed"; finish; }
# shellcheck disable=SC2046
expect_files "$prefix" $(installed_files)
[ -x "$prefix/bin/parvex" ] || fail "bin/parvex is not executable"
expect_runs "$prefix/bin/parvex" "$version"
src=$(cd "$(dirname "$0")/../.." && pwd)
for pair in share/man/man1/parvex.1=doc/parvex.1 \
            share/doc/parvex/README.md=README.md \
            share/bash-completion/completions/parvex=completions/parvex.bash \
            share/zsh/site-functions/_parvex=completions/_parvex; do
  cmp -s "$prefix/${pair%%=*}" "$src/${pair#*=}" ||
    fail "${pair%%=*} is not a copy of ${pair#*=}"
done

# DESTDIR puts the same tree under a staging root, below the build's
# configured prefix.
dest=$WORK/stage
DESTDIR=$dest cmake --install "$build" >"$WORK/install.log" 2>&1 ||
  { cat "$WORK/install.log" >&2; fail "cmake --install with DESTDIR failed"; }
configured=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")
# shellcheck disable=SC2046
expect_files "$dest$configured" $(installed_files)
finish
