#!/bin/bash
# check_imports.sh OBJDUMP EXE DLL...: EXE must import from the listed DLLs
# only (compared without case), and from kernel32 at least, so that an
# unreadable file cannot pass.
objdump=$1 exe=$2
shift 2
allowed=" $(printf '%s ' "$@" | tr '[:upper:]' '[:lower:]')"
dlls=$("$objdump" -p "$exe" | awk '/DLL Name:/ { print tolower($3) }') || exit 1
echo "$exe imports from:" $dlls
status=0
grep -qx 'kernel32.dll' <<<"$dlls" || { echo "no import from kernel32.dll"; status=1; }
for dll in $dlls; do
  case $allowed in
    *" ${dll%.dll} "* | *" $dll "*) ;;
    *) echo "not allowed: $dll"; status=1 ;;
  esac
done
exit $status
