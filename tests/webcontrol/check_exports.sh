#!/bin/sh
# Fails when the library does not export each entry point under its plain
# name (a 32-bit stdcall export would read DllGetClassObject@12).
objdump="$1" lib="$2"
names="$("$objdump" -p "$lib" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
  sed -nE 's/^[[:space:]]*\[[[:space:]]*[0-9]+\][[:space:]]+([^[:space:]]+)$/\1/p')" || exit 1
fail=0
for name in DllGetClassObject DllCanUnloadNow DllRegisterServer DllUnregisterServer RunInstall; do
  if ! printf '%s\n' "$names" | grep -qx "$name"; then
    echo "$lib: no undecorated export $name (exports: $(echo $names))"
    fail=1
  fi
done
exit $fail
