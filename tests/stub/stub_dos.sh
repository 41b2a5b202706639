#!/bin/bash
# Started under MS-DOS (DOSBox, without a display), the stub says that it is
# a Windows program and ends: DOS then runs the next command.
#
#   stub_dos.sh STUB.exe
set -u
stub=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$stub" "$work/STUB.EXE"
SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy HOME=$work \
  timeout 60 dosbox -noconsole -c "mount c $work" -c "c:" \
  -c "STUB.EXE > SAID.TXT" -c "echo ended > NEXT.TXT" -c "exit" \
  >"$work/dosbox.log" 2>&1
rc=$?
said=$(tr -d '\r' <"$work/SAID.TXT" 2>/dev/null)
if [ $rc -ne 0 ] || [ ! -f "$work/NEXT.TXT" ]; then
  echo "FAIL: DOS did not get back from the stub (dosbox status $rc)"
  tail -5 "$work/dosbox.log"
  exit 1
fi
if [ "$said" != "Windows program" ]; then
  echo "FAIL: the stub said [$said] under DOS"
  exit 1
fi
echo "ok: under DOS the stub says [$said] and ends"
