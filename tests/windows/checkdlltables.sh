#!/bin/sh
# Guards against a DLL that a Windows host cannot use as shipped: entry points missing, extra
# or apart, or an import of a non-system DLL (the MinGW runtime) that a user's machine lacks.
# Also: Direct2D and DirectWrite must be loaded at run time, never imported.
# Usage: checkdlltables.sh OBJDUMP GRAVELIX.dll
set -eu
objdump=$1
dll=$2
dump=$("$objdump" -p "$dll")
fail=0

module=$(printf '%s\n' "$dump" | awk '/^Name[ \t]/ {print $NF; exit}')
[ "$module" = "GRAVELIX.dll" ] || { echo "export directory names the module '$module'"; fail=1; }

names=$(printf '%s\n' "$dump" | awk '/^\[Ordinal\/Name Pointer\] Table/ {on=1; next}
  on && NF == 0 {exit} on {print $NF}' | sort | tr '\n' ' ')
[ "$names" = "VSTPluginMain main " ] || { echo "exports: '$names' (want VSTPluginMain and main)"; fail=1; }

addresses=$(printf '%s\n' "$dump" | awk '/^Export Address Table --/ {on=1; next}
  on && NF == 0 {exit} on {print $(NF-2)}' | sort -u | wc -l)
[ "$addresses" -eq 1 ] || { echo "the exports lead to $addresses different addresses"; fail=1; }

# Windows' own DLLs only; msvcrt.dll is the C runtime every Windows ships.
allowed=" advapi32.dll gdi32.dll gdiplus.dll kernel32.dll msvcrt.dll ole32.dll oleaut32.dll user32.dll windowscodecs.dll "
imports=$(printf '%s\n' "$dump" | awk '/DLL Name:/ {print tolower($3)}')
[ -n "$imports" ] || { echo "no import table found"; fail=1; }
for dll_name in $imports; do
  case "$allowed" in
    *" $dll_name "*) ;;
    *) echo "imports $dll_name, which is not a system DLL on the list"; fail=1 ;;
  esac
done

if [ $fail -eq 0 ]; then
  echo "GRAVELIX.dll: exports VSTPluginMain = main; imports $(echo $imports | tr '\n' ' ')"
fi
exit $fail
