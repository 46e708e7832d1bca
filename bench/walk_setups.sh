#!/usr/bin/env bash
# Walks setups end to end, again and again: each product's distribution is
# built with *BUILD, then its setup.exe is walked by the wizard driver with
# the default answers QNT_WALK_RUNS times in one Wine prefix (a fresh install,
# then updates over it). A run passes when the driver reached the last page
# and no program whose window it saw ended in a crash; a fault seen once in
# four runs needs this many runs to show.
#
#   bash bench/walk_setups.sh                      the README's complete example
#   QNT_WALK_RUNS=20 bash bench/walk_setups.sh
#   bash bench/walk_setups.sh MySetup:/path/MyModule.txt ...
#                                                  a product's setup program (a
#                                                  target of this build) and its
#                                                  install module's text
#   QNT_WALK_HEAPCHECK=1 bash bench/walk_setups.sh
#                                                  the setup programs fill freed
#                                                  memory (Windows' heap checks),
#                                                  so a use of freed memory
#                                                  crashes at once, not by luck
#
# The files a module installs are made from its text (every IncludeFromDir
# and FileName; any bytes will do), the uninstaller being the build's own.
# Everything runs in a Wine prefix of its own (build/win64/walk-wine), which
# the next run starts afresh.
set -uo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
runs="${QNT_WALK_RUNS:-10}"
products=("$@")
if [ ${#products[@]} -eq 0 ]; then
  journal="$(find "$top" -name JournalModule.txt -not -path "$top/build/*" | head -1)"
  products=("JournalSetup:$journal")
fi

targets=(QuillantLoadProgram uninstall qnt_wizard_driver)
for p in "${products[@]}"; do targets+=("${p%%:*}"); done
cmake -S "$top" -B "$top/build/win64" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-mingw64.cmake" >/dev/null
cmake --build "$top/build/win64" -j "${QNT_WALK_JOBS:-3}" --target "${targets[@]}" >/dev/null || {
  echo "building ${targets[*]} failed"
  exit 1
}
bin="$top/build/win64/bin"

source "$top/tools/harness.sh"
export QNT_HARNESS_NO_SERVICES=1
root="$top/build/win64/walk-wine"
rm -rf "$root"
qnt_harness_start "$root" || exit 1
trap qnt_harness_stop EXIT
drive="$WINEPREFIX/drive_c"
pictures="$root/pictures"

# Unix path of a Windows path on drive C:.
unix_of() { local p="${1#[Cc]:}"; printf '%s%s' "$drive" "${p//\\//}"; }

failed=0
for p in "${products[@]}"; do
  program="${p%%:*}" module="${p#*:}"
  echo "== $program ($module), $runs runs"
  # The module's files: "<folder>|<name>" per install file.
  python3 - "$module" >"$root/files.txt" <<'PY' || { echo "cannot read $module"; failed=1; continue; }
import re, sys
text = open(sys.argv[1], encoding="utf-8").read()
def value(s):
    # A form string: quoted parts ('' is a quote) and #nn / #$hhhh characters.
    out, i = "", 0
    while i < len(s):
        if s[i] == "'":
            j = i + 1
            while True:
                if s[j] == "'" and s[j + 1:j + 2] == "'": out += "'"; j += 2; continue
                if s[j] == "'": break
                out += s[j]; j += 1
            i = j + 1
        elif s[i] == "#":
            m = re.match(r"#(\$[0-9A-Fa-f]+|\d+)", s[i:])
            out += chr(int(m.group(1)[1:], 16) if m.group(1)[0] == "$" else int(m.group(1)))
            i += len(m.group(0))
        else:
            i += 1
    return out
for obj in re.split(r"\n\s*object ", text):
    name = re.search(r"^\s*FileName = (.*)$", obj, re.M)
    folder = re.search(r"^\s*IncludeFromDir = (.*)$", obj, re.M)
    if name and folder: print(value(folder.group(1)) + "|" + value(name.group(1)))
PY
  while IFS='|' read -r folder name; do
    dir="$(unix_of "$folder")"
    mkdir -p "$dir"
    if [ "${name,,}" = "uninstall.exe" ]; then cp "$bin/uninstall.exe" "$dir/$name"; else printf '%s\r\n' "$name" >"$dir/$name"; fi
  done <"$root/files.txt"
  # The product folder with the loader, found through Delphi 3.0's library
  # path; the setup program beside its BUILD.INF.
  rm -rf "$drive/walk-product" "$drive/walk-work" "$drive/walk-build"
  mkdir -p "$drive/walk-product" "$drive/walk-work" "$drive/walk-build"
  touch "$drive/walk-product/Q32V25B0001.TXT"
  cp "$bin/QuillantLoadProgram.exe" "$drive/walk-product/"
  cp "$bin/$program.exe" "$drive/walk-work/"
  printf 'C:\\walk-build\r\n' >"$drive/walk-work/BUILD.INF"
  wine reg add 'HKCU\Software\Borland\Delphi\3.0\Library' /v SearchPath /t REG_SZ /d 'C:\walk-product' /f >/dev/null 2>&1
  if [ -n "${QNT_WALK_HEAPCHECK:-}" ]; then
    # FLG_HEAP_ENABLE_TAIL_CHECK | FLG_HEAP_ENABLE_FREE_CHECK for the program,
    # wherever the loader starts it from.
    wine reg add "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\$program.exe" \
      /v GlobalFlag /t REG_DWORD /d 0x30 /f >/dev/null 2>&1
  fi
  (cd "$drive/walk-work" && timeout -k 5 300 wine "C:\\walk-work\\$program.exe" '*BUILD') >"$root/build.log" 2>&1
  rc=$?
  # A *BUILD that crashed at its end may have written the whole distribution:
  # it fails the product, and the walks still show how the setup ends.
  if [ $rc -ne 0 ] || grep -q 'Unhandled' "$root/build.log"; then
    echo "  *BUILD failed (exit code $rc):"; grep -v '^fixme' "$root/build.log" | head -5
    failed=1
  fi
  [ -f "$drive/walk-build/setup.exe" ] || continue
  passed=0
  for i in $(seq 1 "$runs"); do
    rm -rf "$pictures"; mkdir -p "$pictures"
    timeout -k 5 400 wine "$bin/qnt_wizard_driver.exe" setup "$pictures" 'C:\walk-build\setup.exe' >"$root/walk.log" 2>&1
    rc=$?
    if [ $rc -eq 0 ]; then
      passed=$((passed + 1))
    else
      echo "  run $i failed (driver exit code $rc):"
      grep -E 'crashed|message box|did not finish' "$root/walk.log" | sed 's/^/    /'
      failed=1
    fi
  done
  echo "  $passed of $runs runs walked to the end without a crash (load average $(cut -d' ' -f1-3 /proc/loadavg))"
done
exit $failed
