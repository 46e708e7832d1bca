#!/usr/bin/env bash
# Runs the shell blocks of the README's guide as they are written (each
# ```sh block after a line "<!-- run by the test Guide.ShellBlockRunsAsWritten -->"),
# with a home whose ~/quillant/bin and ~/notes-setup/build are this build's
# programs, in the Wine prefix that the blocks make, and checks what they
# made: the distribution, and the files and the shortcuts that its setup.exe
# installed, all inside the prefix, nothing in the home outside it. Then the
# block for a build without a person runs on a build that fails, and must
# say so with the build's box and exit code. The prefix goes afterwards.
# Usage: guide_shell_block.sh <source folder> <build folder>
set -u
src="$1" build="$2"
work="$(mktemp -d)"
prefix="$work/home/notes-wine"
cleanup() {
  [ -d "$prefix" ] && WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1
  rm -rf "$prefix" "$work"
}
trap cleanup EXIT
fail() { echo "FAILED: $*"; exit 1; }

# The blocks after the marker line Marker, in their order.
blocks() {
  awk -v marker="<!-- $1 -->" '$0 == marker { take = 1; next }
       take && /^```sh$/ { inside = 1; next }
       inside && /^```$/ { inside = 0; take = 0; next }
       inside { print }' "$src/README.md"
}
blocks "run by the test Guide.ShellBlockRunsAsWritten" >"$work/guide.sh"
blocks "run by the test Guide.ShellBlockRunsAsWritten, with the build failing" >"$work/failing.sh"
[ -s "$work/guide.sh" ] && [ -s "$work/failing.sh" ] || fail "README.md has no shell blocks marked for this test"
echo "== the guide's commands"
cat "$work/guide.sh"

# The blocks' home: the installed library's programs and the author's build
# folder are this build's programs.
export HOME="$work/home"
mkdir -p "$HOME/quillant" "$HOME/notes-setup"
ln -s "$build/bin" "$HOME/quillant/bin"
ln -s "$build/bin" "$HOME/notes-setup/build"
# What the home holds outside the prefix.
outside() { find "$HOME" -path "$prefix" -prune -o -print | sort; }
before="$(outside)"
cd "$work" || exit 1
# The author's shell has none of the harness's Wine settings.
unset WINEDLLOVERRIDES WINEPREFIX WINEDEBUG
(set -e; source "$work/guide.sh") || fail "a command of the guide failed"
# The commands set these; the loader does not wait for the setup program.
export WINEPREFIX="$prefix"
c="$WINEPREFIX/drive_c" q="$HOME/quillant/bin"
timeout 300 "$build/bin/qnt-wine" wineserver -w || fail "the setup program did not end"

[ -f "$c/notes-dist/setup.exe" ] || fail "no C:\\notes-dist\\setup.exe"
dest="$c/Program Files/Example Notes"
[ "$(cat "$dest/Notes.txt" 2>/dev/null)" = notes ] || fail "Notes.txt was not installed"
[ "$(cat "$dest/Läs mig.txt" 2>/dev/null)" = "read me" ] || fail "Läs mig.txt was not installed"
cmp -s "$build/bin/uninstall.exe" "$dest/uninstall.exe" || fail "uninstall.exe was not installed"
[ -n "$(find "$c/users" -path '*/Example Notes/Läs mig.LNK')" ] || fail "the shortcut was not made"
# The user's folders are the prefix's own: the desktop shortcut lies in it,
# and nothing of the install (nor of Wine: no menu builder, no caches)
# reached the home outside it.
[ -n "$(find "$c/users" -path '*/Desktop/Notes.LNK')" ] || fail "the desktop shortcut is not in the prefix's Desktop"
links="$(find "$c/users" -type l)"
[ -z "$links" ] || fail "the prefix's user folders are links: $links"
after="$(outside)"
[ "$before" = "$after" ] || fail "the commands wrote into the home outside the prefix: $(comm -13 <(echo "$before") <(echo "$after"))"
echo "The guide's commands built the distribution, and its setup.exe installed Example Notes."

# A build that fails, run as a script runs it: the marker of the loader's
# folder is gone.
echo "== the build without a person, failing"
cat "$work/failing.sh"
rm "$c/Notes/Product/Q32V25B0001.TXT"
said="$(set -e; source "$work/failing.sh" 2>&1)" || fail "a command of the failing build's block failed"
echo "$said"
grep -q 'the build failed: exit code 1' <<<"$said" || fail "the block did not say that the build failed"
grep -q 'key in the registry is either missing' <<<"$said" || fail "the driver did not print the build's box"
echo "The build without a person answered the failed build's box and gave its exit code."
