#!/usr/bin/env bash
# Fails unless the Windows program given imports only DLLs that every Windows
# installation has: everything else must be linked in statically.
#   scripts/check-imports.sh path/to/program.exe
set -euo pipefail
exe="$1"
allowed='^(kernel32|user32|gdi32|shell32|ole32|comctl32|comdlg32|advapi32|msvcrt)\.dll$'
# The 64-bit objdump reads 32-bit and 64-bit programs alike.
imports=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p')
if [ -z "$imports" ]; then
  echo "check-imports: no import table found in $exe" >&2
  exit 1
fi
status=0
for dll in $imports; do
  if ! echo "$dll" | tr 'A-Z' 'a-z' | grep -Eq "$allowed"; then
    echo "check-imports: $exe imports $dll, expected only system DLLs" >&2
    status=1
  fi
done
[ "$status" -eq 0 ] && echo "check-imports: $exe imports only $(echo $imports | tr '\n' ' ')"
exit "$status"
