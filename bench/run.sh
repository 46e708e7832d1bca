#!/usr/bin/env bash
# Extraction benchmark: our archive writer and component against an NSIS
# (zlib) installer of the same payload, and against the floor (zlib's inflate
# and plain writes in one native process).
#
#   bash bench/run.sh            payload of at least 200 MB of Wine's DLLs
#   QNT_BENCH_MB=300 bash bench/run.sh
#   QNT_BENCH_DIR=/somewhere bash bench/run.sh   (work folder, kept afterwards)
#
# Everything runs in a work folder and a Wine prefix of its own; only the
# wineserver of that prefix is stopped at the end.
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
mb="${QNT_BENCH_MB:-200}"
work="${QNT_BENCH_DIR:-/tmp/qnt-bench-$(id -u)}"
runs="${QNT_BENCH_RUNS:-3}"
mkdir -p "$work"
work="$(cd "$work" && pwd)"

command -v makensis >/dev/null || {
  echo "installing nsis"
  sudo=""; [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo apt-get install -y -qq nsis >/dev/null
}

# Our programs (Windows build) and the native floor.
# Only the benchmark's programs, three compilers at a time: the machine is shared.
jobs="${QNT_BENCH_JOBS:-3}"
cmake -S "$top" -B "$top/build/win64" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-mingw64.cmake" >/dev/null
cmake --build "$top/build/win64" -j "$jobs" --target qnt_bench_pack qnt_bench_extract >/dev/null
bin="$top/build/win64/bin"
g++ -O2 -std=c++20 -I"$top" "$top/bench/bench_floor.cpp" "$top/foundation/archive/lzhFormat.cpp" \
  "$top/classlib/base/TextBase.cpp" -lz \
  -o "$work/bench_floor"

# Payload: real programs, taken from the DLLs Wine installs into system32.
src=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows
payload="$work/payload"
if [ ! -f "$work/payload.done" ] || [ "$(cat "$work/payload.done")" != "$mb" ]; then
  rm -rf "$payload"; mkdir -p "$payload"
  limit=$((mb * 1024 * 1024)); sum=0
  for f in "$src"/*.dll; do
    [ "$sum" -ge "$limit" ] && break
    cp "$f" "$payload/"
    sum=$((sum + $(stat -c %s "$f")))
  done
  echo "$mb" >"$work/payload.done"
fi
files=$(ls "$payload" | wc -l)
bytes=$(du -sb "$payload" | cut -f1)
echo "payload: $files files, $bytes bytes; load average at the start: $(cut -d" " -f1-3 /proc/loadavg)"

export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Our programs find their own Linux process by it for its page faults
# (bench/bench_counters.h).
export QNT_BENCH_MARK="qnt-bench-$$-$RANDOM"
unset DISPLAY
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
[ -d "$WINEPREFIX" ] || wineboot -i >/dev/null 2>&1
# One server for the whole run: a server started again between two timed
# programs (with Wine's own services) would be timed with them.
wineserver -p >/dev/null 2>&1 || true
winpath() { echo "Z:${1//\//\\}"; }

# Pack with ours.
wp="$(winpath "$payload")"
for f in $(ls "$payload"); do printf '%s\\%s\r\n' "$wp" "$f"; done >"$work/list.txt"
rm -f "$work/files.1"
wine "$bin/qnt_bench_pack.exe" "$(winpath "$work/list.txt")" "$(winpath "$work/files.1")" | tr -d '\r'
ours_size=$(stat -c %s "$work/files.1")

# The NSIS installer of the same files: zlib, amd64, silent.
cat >"$work/bench.nsi" <<NSI
Unicode true
Target amd64-unicode
SetCompressor zlib
Name "bench"
OutFile "$work/bench-nsis.exe"
RequestExecutionLevel user
SilentInstall silent
InstallDir "\$TEMP\\bench"
Section
  SetOutPath "\$INSTDIR"
  File "$payload/*.dll"
SectionEnd
NSI
makensis -V1 "$work/bench.nsi"
nsis_size=$(stat -c %s "$work/bench-nsis.exe")
stub_size=$(stat -c %s /usr/share/nsis/Stubs/zlib-amd64-unicode)

cat "$payload"/* "$work/files.1" "$work/bench-nsis.exe" >/dev/null  # warm the page cache

now() { date +%s.%N; }
# Waits for the file $1 that a program started by the loader writes; fails
# after $2 seconds (an error shown in a message box waits for a click).
wait_for() {
  local n=0
  while [ ! -f "$1" ]; do
    sleep 0.01; n=$((n + 1))
    [ "$n" -lt $(($2 * 100)) ] || { echo "no $(basename "$1") after $2 s"; exit 1; }
  done
}
best() { sort -n | head -1; }
load() { echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"; }
# The install's threads inflating ahead: as many as the install starts.
workers=$(( $(nproc) - 1 )); [ "$workers" -le 4 ] || workers=4
# qnt_bench_extract's line as "seconds faults faults-of-the-extraction user
# system": the page faults and times of the whole process (what a whole
# process's timing shows), and the faults of the extraction alone.
extract_figures() {
  sed -nE 's/.* in ([0-9.]+) s; extraction: faults ([0-9]+) .*; process: faults ([0-9]+) user ([0-9.]+) system ([0-9.]+).*/\1 \3 \2 \4 \5/p' <<<"$1"
}
ours_times=() nsis_times=() floor_times=() inner_times=() inner_ahead_times=()
for i in $(seq "$runs"); do
  out="$work/out-ours"; rm -rf "$out"; mkdir -p "$out"
  t0=$(now); line=$(wine "$bin/qnt_bench_extract.exe" "$(winpath "$work/files.1")" "$(winpath "$out")" | tr -d '\r'); t1=$(now)
  ours_times+=("$(awk "BEGIN{print $t1 - $t0}")")
  inner_times+=("$(extract_figures "$line")")
  diff -rq "$payload" "$out" >/dev/null || { echo "our extraction differs from the payload"; exit 1; }

  out="$work/out-ours"; rm -rf "$out"; mkdir -p "$out"
  line=$(wine "$bin/qnt_bench_extract.exe" "$(winpath "$work/files.1")" "$(winpath "$out")" "$workers" | tr -d '\r')
  inner_ahead_times+=("$(extract_figures "$line")")
  diff -rq "$payload" "$out" >/dev/null || { echo "our extraction with workers differs from the payload"; exit 1; }

  out="$work/out-nsis"; rm -rf "$out"; mkdir -p "$out"
  t0=$(now); wine "$work/bench-nsis.exe" /S "/D=$(winpath "$out")"; t1=$(now)
  nsis_times+=("$(awk "BEGIN{print $t1 - $t0}")")
  [ "$(ls "$out" | wc -l)" -eq "$files" ] || { echo "NSIS installed $(ls "$out" | wc -l) of $files files"; exit 1; }

  out="$work/out-floor"; rm -rf "$out"; mkdir -p "$out"
  line=$("$work/bench_floor" "$work/files.1" "$out")
  floor_times+=("$(sed -nE 's/.* in ([0-9.]+) s/\1/p' <<<"$line")")
done
diff -rq "$payload" "$work/out-floor" >/dev/null || { echo "the floor's extraction differs from the payload"; exit 1; }

ours=$(printf '%s\n' "${ours_times[@]}" | best)
# The best run of each, with its own counters.
read -r inner inner_faults inner_own inner_user inner_sys < <(printf '%s\n' "${inner_times[@]}" | best)
read -r inner_ahead ahead_faults ahead_own ahead_user ahead_sys < <(printf '%s\n' "${inner_ahead_times[@]}" | best)
nsis=$(printf '%s\n' "${nsis_times[@]}" | best)
floor=$(printf '%s\n' "${floor_times[@]}" | best)
ratio() { awk "BEGIN{ if ($2 == 0) print \"nan\"; else printf \"%.3f\", $1 / $2 }"; }
echo
echo "best of $runs runs, $files files, $bytes bytes"
printf 'ours  (Wine, whole process)   %8.3f s   (inside the program %.3f s; with %d workers inflating ahead %.3f s)\n' \
  "$ours" "$inner" "$workers" "$inner_ahead"
echo "      the process's own counters (page faults: the whole process's, the extraction's own in parentheses):"
printf '      inside the program, one thread: %8.3f s   page faults %7d (%d)   user %.3f s   system %.3f s\n' \
  "$inner" "$inner_faults" "$inner_own" "$inner_user" "$inner_sys"
printf '      inside the program, %d workers:  %8.3f s   page faults %7d (%d)   user %.3f s   system %.3f s\n' \
  "$workers" "$inner_ahead" "$ahead_faults" "$ahead_own" "$ahead_user" "$ahead_sys"
printf 'NSIS  (Wine, whole process)   %8.3f s\n' "$nsis"
printf 'floor (native zlib + write)   %8.3f s   (one thread)\n' "$floor"
echo "ours/NSIS  = $(ratio "$ours" "$nsis")"
echo "ours/floor = $(ratio "$ours" "$floor")   (inside the program: $(ratio "$inner" "$floor"); with the workers: $(ratio "$inner_ahead" "$floor"))"
echo "archive: ours $ours_size bytes; NSIS installer $nsis_size bytes ($((nsis_size - stub_size)) without its $stub_size-byte stub)"
echo "size ours/NSIS data = $(ratio "$ours_size" "$((nsis_size - stub_size))")"
load

# ---------------------------------------------------------------- the build
# Our distribution build (the *BUILD code, every file of the payload in one
# group) against makensis of the same payload, both at zlib level 9; then
# the install from our setup.exe (loader, setup program, extraction of
# files.1 from inside setup.exe) against the NSIS installer's silent install;
# then the loader's start for a 2 MB setup.1.
cmake --build "$top/build/win64" -j "$jobs" --target qnt_bench_build qnt_bench_setup QuillantLoadProgram >/dev/null
# The loader shows a progress window: a display of our own for this part.
Xvfb -displayfd 3 -screen 0 1024x768x24 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
trap 'wineserver -k >/dev/null 2>&1 || true; kill "$xvfb" 2>/dev/null || true' EXIT
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"
product="$work/product"; mkdir -p "$product"
: >"$product/Q32V25B0001.TXT"
cp "$bin/QuillantLoadProgram.exe" "$product/"
wine reg add 'HKCU\Software\Borland\Delphi\3.0\Library' /v SearchPath /d "$(winpath "$product")" /f >/dev/null 2>&1
# The setup program as a distribution carries it: without the debugging
# information of this build (the loader is built stripped).
x86_64-w64-mingw32-strip -o "$work/Quillant20.exe" "$bin/qnt_bench_setup.exe"
# One install from setup.exe, its trace (the loader's and the setup
# program's moments, bench_setup.cpp) into $work/trace-$1, its time since
# the start into $work/time-$1. Every run starts from nothing installed: the
# product's folder and its uninstall record go, or each run would add its
# files to the last one's.
install_once() {
  local out="$work/out-setup"
  rm -rf "$out" "$work/done" "$work/trace-$1"; mkdir -p "$out"
  wine reg delete 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillant Bench' /f >/dev/null 2>&1 || true
  local t0; t0=$(now)
  QNT_BENCH_LIST="$(winpath "$work/list.txt")" QNT_BENCH_TARGET="$(winpath "$out")" \
    QNT_BENCH_DONE="$(winpath "$work/done")" QNT_BENCH_TRACE="$(winpath "$work/trace-$1")" \
    QNT_BENCH_WORKERS="${2:-}" wine "$work/build/setup.exe"
  wait_for "$work/done" 900
  grep -q error "$work/done" && { cat "$work/done"; exit 1; }
  echo "shell $t0" >>"$work/trace-$1"
  awk "BEGIN{print $(cat "$work/done") - $t0}" >"$work/time-$1"
}
# The phases of a trace, in seconds: "name seconds" lines.
phases() {
  awk '$1 == "record" { record = $2; next }
    $1 ~ /^file-/ { file[$1] = $2; next }
    $1 ~ /^counters-/ { f[$1] = $2; u[$1] = $3; s[$1] = $4; next }
    { t[$1] = $2 }
    function p(name, from, to) { printf "%s %.3f\n", name, t[to] - t[from] }
    END {
      p("loader-start", "shell", "loader-start"); p("loader-window", "loader-start", "loader-window")
      p("loader-extract", "loader-window", "loader-extracted")
      p("setup-start", "loader-extracted", "setup-start")
      p("startup-forms", "setup-start", "forms"); p("startup-module", "forms", "module-read")
      p("startup-activate", "module-read", "run"); p("info", "run", "info-read")
      p("walk-start", "info-read", "files-start")
      printf "extract %.3f\n", t["files-end"] - t["files-start"] - record
      a = "counters-files-start"; b = "counters-files-end"
      printf "extract-counters %d %.3f %.3f\n", f[b] - f[a], u[b] - u[a], s[b] - s[a]
      n = split("file-before file-write file-finish file-between", fp, " ")
      for (i = 1; i <= n; ++i) printf "%s %.3f\n", fp[i], file[fp[i]]
      printf "record %.3f\n", record
      p("end", "files-end", "end"); p("total", "shell", "end")
    }' "$1"
}
build_times=() makensis_times=() install_times=() nsis_install_times=() one_thread_times=()
for i in $(seq "$runs"); do
  rm -rf "$work/build"
  t0=$(now); wine "$bin/qnt_bench_build.exe" "$(winpath "$work/list.txt")" "$(winpath "$work/build")" \
    "$(winpath "$work/Quillant20.exe")" | tr -d '\r' >"$work/build.log"; t1=$(now)
  build_times+=("$(awk "BEGIN{print $t1 - $t0}")")
  t0=$(now); makensis -V1 "$work/bench.nsi"; t1=$(now)
  makensis_times+=("$(awk "BEGIN{print $t1 - $t0}")")

  # The real setup program: the controller's install run from files.1
  # inside setup.exe, the module made from the same list as the build's;
  # then the same with no worker inflating ahead.
  install_once "$i"
  install_times+=("$(cat "$work/time-$i") $i")
  install_once "1t-$i" 0
  one_thread_times+=("$(phases "$work/trace-1t-$i" | awk '$1 == "extract" {t = $2} $1 == "extract-counters" {c = $2 " " $3 " " $4}
    END {print t, c}')")
  out="$work/out-nsis"; rm -rf "$out"; mkdir -p "$out"
  t0=$(now); wine "$work/bench-nsis.exe" /S "/D=$(winpath "$out")"; t1=$(now)
  nsis_install_times+=("$(awk "BEGIN{print $t1 - $t0}")")
done
diff -rq "$payload" "$work/out-setup" >/dev/null || { echo "the install from setup.exe differs from the payload"; exit 1; }
# The last run's record lists each file once.
entries=$(wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillant Bench\Files' /v Entries 2>/dev/null |
  tr -d '\r' | awk '$1 == "Entries" {print $3}')
[ "$entries" = "$files" ] || { echo "the uninstall record holds ${entries:-no} entries for $files files"; exit 1; }
setup_size=$(stat -c %s "$work/build/setup.exe")

# The loader's start: setup.exe started to the setup program running, with
# a setup.1 of 2 MB (the setup program and incompressible bytes).
head -c $((2000000 - $(stat -c %s "$work/build/setup.1"))) /dev/urandom >"$work/presetup.bin"
: >"$work/empty.txt"
rm -rf "$work/build2"
wine "$bin/qnt_bench_build.exe" "$(winpath "$work/empty.txt")" "$(winpath "$work/build2")" \
  "$(winpath "$work/Quillant20.exe")" "$(winpath "$work/presetup.bin")" | tr -d '\r' >/dev/null
start_times=()
for i in $(seq "$runs"); do
  rm -f "$work/started" "$work/trace-start-$i"
  t0=$(now); QNT_BENCH_STARTED="$(winpath "$work/started")" QNT_BENCH_TRACE="$(winpath "$work/trace-start-$i")" \
    wine "$work/build2/setup.exe"
  wait_for "$work/started" 120
  echo "shell $t0" >>"$work/trace-start-$i"
  start_times+=("$(awk "BEGIN{print $(cat "$work/started") - $t0}") $i")
done
setup1_size=$(stat -c %s "$work/build2/setup.1")

b=$(printf '%s\n' "${build_times[@]}" | best)
m=$(printf '%s\n' "${makensis_times[@]}" | best)
read -r ins ins_run < <(printf '%s\n' "${install_times[@]}" | best)
read -r one_thread one_faults one_user one_sys < <(printf '%s\n' "${one_thread_times[@]}" | best)
nins=$(printf '%s\n' "${nsis_install_times[@]}" | best)
read -r st st_run < <(printf '%s\n' "${start_times[@]}" | best)
echo
printf 'build:   ours (Wine) %8.3f s   makensis %8.3f s   ours/makensis = %s\n' "$b" "$m" "$(ratio "$b" "$m")"
echo "         last build: $(cat "$work/build.log")"
printf 'install: ours (Wine) %8.3f s   NSIS /S  %8.3f s   ours/NSIS     = %s\n' "$ins" "$nins" "$(ratio "$ins" "$nins")"
# Where the best run's time went; the Wine part is each program's start to
# its first line of code.
phases "$work/trace-$ins_run" | awk -v one="$one_thread" -v onec="$one_faults $one_user $one_sys" '
  BEGIN {
    d["loader-start"] = "the loader'"'"'s start (Wine: its process)"
    d["loader-window"] = "the loader'"'"'s window"
    d["loader-extract"] = "the loader extracting setup.1"
    d["setup-start"] = "the setup program'"'"'s start (Wine: its process)"
    d["startup-forms"] = "the controller'"'"'s start-up: units, application"
    d["startup-module"] = "  the install module read"
    d["startup-activate"] = "  to the main form'"'"'s first activation"
    d["info"] = "reading the file information"
    d["walk-start"] = "the walk to the first file"
    d["extract"] = "the extraction, with the workers"
    d["record"] = "the uninstall record"
    d["file-before"] = "  per file, summed: decision, clear-up, archive opened"
    d["file-write"] = "  per file, summed: inflating and writing"
    d["file-finish"] = "  per file, summed: dated, renamed, closed"
    d["file-between"] = "  per file, summed: the walk between files"
    d["end"] = "the end (clean-up, closing)"
    d["total"] = "total"
  }
  function counters(f, u, s) { return sprintf("   page faults %7d   user %.3f s   system %.3f s", f, u, s) }
  $1 == "extract-counters" { c = counters($2, $3, $4); next }
  $1 == "extract" { e = $2; next }
  ($1 == "record" || $1 ~ /^file-/) && e != "" {
    printf "         %-50s %7.3f s%s\n", d["extract"], e, c
    split(onec, o, " ")
    printf "         %-50s %7.3f s%s\n", "the extraction, one thread (best of its own runs)", one, counters(o[1], o[2], o[3])
    e = ""
  }
  { printf "         %-50s %7.3f s\n", d[$1], $2 }'
echo "setup.exe: ours $setup_size bytes, NSIS $nsis_size bytes, ours/NSIS = $(ratio "$setup_size" "$nsis_size")"
printf 'loader start (setup.1 of %d bytes): %.3f s: ' "$setup1_size" "$st"
phases "$work/trace-start-$st_run" | awk '$1 ~ /^(loader-start|loader-window|loader-extract|setup-start)$/ { printf "%s %s s  ", $1, $2 }
  END { print "(the two starts are Wine'"'"'s processes)" }'

# The goals, from the figures above: the extraction inside the program (its
# own counters), the install's extraction against the program's, and the
# install against NSIS's.
echo
verdict() { awk -v v="$2" -v lim="$3" -v what="$1" -v fig="$4" 'BEGIN {
  printf "goal: %-58s %s (%s)\n", what, (v <= lim ? "met" : "NOT met"), fig }'; }
verdict "page faults (process) with the workers at most 2x one thread's" "$(ratio "$ahead_faults" "$inner_faults")" 2 \
  "$ahead_faults vs $inner_faults, $(ratio "$ahead_faults" "$inner_faults")x"
verdict "extraction with the workers at most 0.6x one thread's" "$(ratio "$inner_ahead" "$inner")" 0.6 \
  "$inner_ahead s vs $inner s, $(ratio "$inner_ahead" "$inner")x"
ins_extract=$(phases "$work/trace-$ins_run" | awk '$1 == "extract" {print $2}')
verdict "the install's extraction at most 1.2x the program's with the workers" \
  "$(ratio "$ins_extract" "$inner_ahead")" 1.2 "$ins_extract s vs $inner_ahead s, $(ratio "$ins_extract" "$inner_ahead")x"
verdict "install at most 0.8x NSIS's silent install" "$(ratio "$ins" "$nins")" 0.8 \
  "$ins s vs $nins s, $(ratio "$ins" "$nins")x"
load
