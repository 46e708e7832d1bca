#!/usr/bin/env bash
# The test command: installs what is missing, builds the Windows (x86_64 and
# i686) and native builds, and runs every test: the Windows ones under Wine in
# the build's own prefix, with a persistent wineserver and an Xvfb display, the
# native ones under AddressSanitizer/UBSan (plus short fuzz runs).
# Usage: tools/test.sh [ctest -R regex]
# QNT_CONFIGS="win64" (or "win64 native") limits the run to those builds while
# iterating; the default, and CI, is all three. QNT_TEST_JOBS sets how many
# tests run at once (default: the number of processors).
set -u -o pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$top/tools/deps.sh"
source "$top/tools/harness.sh"
qnt_deps || { echo "installing the dependencies failed"; exit 1; }

filter=()
[ $# -gt 0 ] && filter=(-R "$1")
jobs="${QNT_TEST_JOBS:-$(nproc)}"

configs="${QNT_CONFIGS:-win64 native i686}"
for cfg in $configs; do
  qnt_configure_and_build "$cfg" || exit 1
done

qnt_harness_start "$top/build/win64/wine" || exit 1
trap qnt_harness_stop EXIT

summary=()
fail=0
total=0
for cfg in win64 native; do
  [[ " $configs " == *" $cfg "* ]] || continue
  log="$top/build/$cfg/ctest.log"
  (cd "$top/build/$cfg" && ctest -j"$jobs" --output-on-failure --timeout 600 "${filter[@]}") 2>&1 | tee "$log"
  rc=${PIPESTATUS[0]}
  line="$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -1)"
  n="$(sed -nE 's/.* out of ([0-9]+).*/\1/p' <<<"$line")"
  f="$(sed -nE 's/.*passed, ([0-9]+) tests failed.*/\1/p' <<<"$line")"
  n=${n:-0}; f=${f:-0}
  [ "$rc" -ne 0 ] && [ "$f" -eq 0 ] && f=1
  total=$((total + n)); fail=$((fail + f))
  summary+=("$cfg: $((n - f)) passed, $f failed")
done
qnt_harness_stop
trap - EXIT

printf '%s\n' "${summary[@]}"
[[ " $configs " == *" i686 "* ]] && echo "i686: compiled"
if [ "$total" -eq 0 ]; then
  echo "no test ran"
  exit 1
fi
echo "$((total - fail)) passed, $fail failed"
[ "$fail" -eq 0 ]
