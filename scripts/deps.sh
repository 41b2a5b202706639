#!/usr/bin/env bash
# Installs what the build and the tests need on a fresh Debian 12 machine.
# As root it uses apt-get; otherwise it only reports what is missing.
#   deps.sh build   compilers, CMake, GoogleTest, CLI11, libcrypto, gf-complete
#                   and zlib (PAR2 recovery data), mingw,
#                   and what `cpack -G DEB` needs (dpkg-shlibdeps, file)
#   deps.sh test    the above, plus groff (the man page check), zsh (the
#                   completion check), clang and its libFuzzer and sanitizer
#                   run-times (fuzzing), setpriv (util-linux), Wine, Xvfb,
#                   Japanese fonts, imagemagick (screenshots) and DOSBox
#                   (the stub started under MS-DOS), par2cmdline (the referee
#                   of the PAR2 tests) and GNU time (the bench's peak memory)
set -euo pipefail
what=${1:-build}

pkgs=(g++ cmake make libgtest-dev libgmock-dev libcli11-dev libssl-dev libgf-complete-dev zlib1g-dev gettext g++-mingw-w64-i686 dpkg-dev file)
if [ "$what" = test ]; then
  pkgs+=(strace groff-base zsh clang libclang-rt-14-dev util-linux xvfb xauth x11-utils fonts-ipafont-gothic imagemagick locales dosbox par2 time)
fi

missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
need_wine=0
if [ "$what" = test ]; then
  for p in wine32:i386 fonts-wine; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || need_wine=1
  done
  command -v wine >/dev/null 2>&1 || need_wine=1
fi

if [ ${#missing[@]} -eq 0 ] && [ $need_wine -eq 0 ]; then
  exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
  echo "deps.sh: missing packages (run as root to install): ${missing[*]} $([ $need_wine = 1 ] && echo wine wine32:i386)" >&2
  exit 0
fi
export DEBIAN_FRONTEND=noninteractive
if [ $need_wine -eq 1 ]; then
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
fi
apt-get update -q
[ ${#missing[@]} -eq 0 ] || apt-get install -y -q --no-install-recommends "${missing[@]}"
if [ $need_wine -eq 1 ]; then
  apt-get install -y -q wine wine32:i386 fonts-wine
fi
