#!/usr/bin/env bash
# The main job: builds everything, builds this product's distribution with
# the setup program (Quillant20 *BUILD), runs the distribution's setup.exe
# under Wine on a virtual display through the wizard with its default
# answers, shows what the install left on the machine, and removes the
# product again with its uninstaller. A picture of every page is saved.
# Installs what is missing first.
#
#   bash tools/main-job.sh              everything
#   bash tools/main-job.sh --no-build   with the programs already built (CTest)
set -u -o pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$top/tools/deps.sh"
source "$top/tools/harness.sh"

fail() { echo "MAIN JOB FAILED: $*"; exit 1; }
# What the driver printed, without Wine's own diagnostics.
show_log() { tr -d '\r' <"$1" | grep -v '^[0-9a-f]*:\(err\|fixme\|warn\)' || true; }
# The product's shortcuts, each once. Wine links Desktop, Documents, Music
# and the like to one home folder, so only the desktop and the Start Menu
# are looked at.
product_links() {
  for d in "$c"/users/*/Desktop "$c"/users/*/AppData/Roaming/Microsoft/Windows/Start\ Menu; do
    find -L "$d" -iname '*.lnk' -path '*Quillant*' 2>/dev/null
  done | sed "s|^$c/|  C:/|"
}

if [ "${1:-}" != "--no-build" ]; then
  qnt_deps || fail "installing the dependencies failed"
  qnt_configure_and_build win64 || fail "the build failed"
fi
bin="$top/build/win64/bin"
payload="$top/build/win64/payload"
if [ ! -f "$bin/Quillant20.exe" ]; then
  echo "The setup program Quillant20 is not built: $bin/Quillant20.exe is missing."
  exit 2
fi
for f in QuillantLoadProgram.exe uninstall.exe qnt_wizard_driver.exe; do
  [ -f "$bin/$f" ] || fail "$bin/$f is missing"
done
[ -d "$payload" ] || fail "the files to install ($payload) were not gathered"

# A Windows of its own, fresh every time, on a display of its own.
job="$top/build/win64/main-job"
rm -rf "$job"
mkdir -p "$job/pictures"
export QNT_HARNESS_NO_SERVICES=1
echo "== starting Wine (a fresh prefix in $job/wine)"
qnt_harness_start "$job/wine" || fail "Wine or the display could not be started"
trap qnt_harness_stop EXIT
c="$WINEPREFIX/drive_c"

# The build machine: the files in C:\Quillant\Payload (the module's
# IncludeFromDir), the product folder with the loader and its marker file
# (found through Delphi 3.0's library path), the setup program and BUILD.INF.
mkdir -p "$c/Quillant/Payload" "$c/Quillant/Product" "$c/Quillant/Setup"
cp "$payload"/* "$c/Quillant/Payload/"
cp "$bin/QuillantLoadProgram.exe" "$c/Quillant/Product/"
: >"$c/Quillant/Product/Q32V25B0001.TXT"
timeout -k 5 120 wine reg add 'HKCU\Software\Borland\Delphi\3.0\Library' /v SearchPath /d 'C:\Quillant\Product' /f >/dev/null 2>&1 ||
  fail "the library path could not be written"
cp "$bin/Quillant20.exe" "$c/Quillant/Setup/"
printf 'c:\\build\\beta\r\n' >"$c/Quillant/Setup/BUILD.INF"

echo "== building the distribution: Quillant20.exe *BUILD"
(cd "$c/Quillant/Setup" && timeout 300 wine Quillant20.exe '*BUILD' </dev/null >"$job/build.log" 2>&1)
rc=$?
dist="$c/build/beta"
if [ "$rc" -ne 0 ] || [ ! -f "$dist/setup.exe" ]; then
  timeout -k 1 5 import -window root "$job/pictures/build-failed.png" 2>/dev/null
  fail "the distribution build ended with code $rc (screen: $job/pictures/build-failed.png)"
fi
echo "The distribution (C:\\build\\beta):"
(cd "$dist" && find . -type f -printf '  %-24P %10s bytes\n' | sort)

# What goes to end users carries no debugging information (the build keeps
# it in a .debug file beside each program): the setup program packed into
# setup.1, the uninstaller and the web-install control of the payload (the
# control is also what a page downloads), and setup.exe, each within its goal.
echo "What ships, against its goal (1 MB = 1,000,000 bytes):"
over=""
for entry in "Quillant20.exe:$c/Quillant/Setup/Quillant20.exe:3000000" \
             "uninstall.exe:$c/Quillant/Payload/uninstall.exe:1200000" \
             "Fetchkit.ocx:$c/Quillant/Payload/Fetchkit.ocx:1200000" \
             "setup.exe:$dist/setup.exe:8000000"; do
  IFS=: read -r name file goal <<<"$entry"
  # A program, not a stand-in text that the payload took in its place.
  [ "$(head -c 2 "$file")" = MZ ] || fail "$file is not a program"
  size="$(stat -c %s "$file")"
  awk -v name="$name" -v n="$size" -v g="$goal" \
    'BEGIN { printf "  %-16s %10d bytes  %5.2f MB  (goal: at most %.1f MB)\n", name, n, n / 1e6, g / 1e6 }'
  [ "$size" -le "$goal" ] || over="$over $name"
done
[ -z "$over" ] || fail "larger than their goals:$over"

echo "== running setup.exe through the wizard (default answers)"
(cd "$dist" && timeout 400 wine "$bin/qnt_wizard_driver.exe" setup "$job/pictures" 'c:\build\beta\setup.exe' \
  </dev/null >"$job/setup.log" 2>&1)
rc=$?
show_log "$job/setup.log"
[ "$rc" -eq 0 ] || fail "the setup did not end with its Finish button (code $rc); pictures in $job/pictures"
# The pages walked (one picture each, by window caption) must hold these in
# this order: splash, language, welcome, folder, setup complete.
walked="$(tr -d '\r' <"$job/setup.log" | sed -n 's/^  picture [0-9]*: //p')"
page="$(awk -v want='Quillant 32 Version 2.5 Beta|Select a language|Welcome|Select folder in start menu|Setup complete' \
  'BEGIN { n = split(want, w, "|"); i = 1 } i <= n && $0 == w[i] { ++i } END { if (i <= n) print w[i] }' <<<"$walked")"
[ -z "$page" ] || fail "the wizard did not show the page \"$page\" in its place; the pages walked: $(paste -sd '|' <<<"$walked")"

dest="$c/Program Files/Quillant32/Version25Beta"
[ -d "$dest" ] || fail "nothing was installed into C:\\Program Files\\Quillant32\\Version25Beta"
missing=0
for f in "$payload"/*; do
  n="$(basename "$f")"
  if ! cmp -s "$f" "$dest/$n"; then echo "  not installed (or different): $n"; missing=1; fi
done
[ "$missing" -eq 0 ] || fail "files are missing from the install"
echo "Installed into C:\\Program Files\\Quillant32\\Version25Beta: $(ls "$dest" | wc -l) files, $(du -sb "$dest" | cut -f1) bytes"
(cd "$dest" && ls -l | awk 'NR>1 {printf "  %-36s %10s bytes\n", $9, $5}' | head -12)
echo "  ..."

key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillant32'
entry="$(timeout -k 5 120 wine reg query "$key" 2>/dev/null | tr -d '\r')"
echo "$entry" | grep -q UninstallString || fail "the uninstall entry $key was not written"
echo "The uninstall entry ($key):"
echo "$entry" | grep 'REG_' | sed 's/^ */  /'

echo "The shortcuts made:"
links="$(product_links)"
[ -n "$links" ] || fail "no shortcut was made"
echo "$links"

echo "== removing the product with its uninstaller"
uninstall="$(echo "$entry" | grep UninstallString | sed 's/.*REG_SZ *//')"
(cd "$c" && timeout 300 wine "$bin/qnt_wizard_driver.exe" uninstall "$job/pictures" "$uninstall" \
  </dev/null >"$job/uninstall.log" 2>&1)
rc=$?
show_log "$job/uninstall.log"
[ "$rc" -eq 0 ] || fail "the uninstaller did not finish (code $rc)"
left="$(find "$dest" -type f 2>/dev/null | grep -vi 'uninstall.exe$' | wc -l)"
[ "$left" -eq 0 ] || fail "the uninstaller left $left files in the product folder"
timeout -k 5 120 wine reg query "$key" >/dev/null 2>&1 && fail "the uninstall entry is still there"
links="$(product_links)"
[ -z "$links" ] || fail "the uninstaller left shortcuts:
$links"
echo "The uninstaller removed the product: its files, its shortcuts and its uninstall entry are gone."

echo
echo "Pictures of every page: $job/pictures"
ls "$job/pictures" | sed 's/^/  /'
echo "MAIN JOB PASSED"
