#!/usr/bin/env bash
# Checks bass.dll's export and import tables: exactly the capture library's
# calls under their plain names, and nothing imported but Windows' known DLLs
# (winmm is not one: it is looked up at run time from the system folder).
set -eu
objdump=$1
dll=$2
table=$("$objdump" -p "$dll")

expected="BASS_ChannelGetData BASS_ChannelGetLevel BASS_ErrorGetCode BASS_GetVersion BASS_RecordFree BASS_RecordInit BASS_RecordStart"
exported=$(printf '%s\n' "$table" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
  sed -n 's/^\s*\[ *[0-9]*\] \(.*\)$/\1/p' | sort | xargs)
if [ "$exported" != "$expected" ]; then
  echo "exports: '$exported'"; echo "expected: '$expected'"; exit 1
fi

system="kernel32.dll msvcrt.dll user32.dll advapi32.dll ntdll.dll"  # known DLLs only
status=0
for imported in $(printf '%s\n' "$table" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z'); do
  case " $system " in
    *" $imported "*) ;;
    *) echo "imports a DLL that is not part of Windows: $imported"; status=1 ;;
  esac
done
[ $status -eq 0 ] && echo "exports: $exported"
exit $status
