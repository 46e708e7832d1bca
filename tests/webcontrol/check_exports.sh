#!/bin/sh
# Fails when the library does not export each entry point under its plain
# name (a 32-bit stdcall export would read DllGetClassObject@12).
objdump="$1" lib="$2"
table="$("$objdump" -p "$lib")" || exit 1
fail=0
for name in DllGetClassObject DllCanUnloadNow DllRegisterServer DllUnregisterServer RunInstall; do
  if ! printf '%s\n' "$table" | grep -Eq "^[[:space:]]+\[[[:space:]]*[0-9]+\][[:space:]]+(\+base\[[[:space:]]*[0-9]+\][[:space:]]+)?[0-9a-fA-F]+[[:space:]]+$name\$"; then
    echo "$lib: no undecorated export $name"
    fail=1
  fi
done
if printf '%s\n' "$table" | grep -Eq '(Dll[A-Za-z]+|RunInstall)@[0-9]+'; then
  echo "$lib: decorated exports:"; printf '%s\n' "$table" | grep -E '@[0-9]+'
  fail=1
fi
exit $fail
