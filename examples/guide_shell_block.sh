#!/usr/bin/env bash
# Runs the shell blocks of the README's guide as they are written (each
# ```sh block after a line "<!-- run by the test Guide.ShellBlockRunsAsWritten -->"),
# with a home whose ~/quillant/bin and ~/notes-setup/build are this build's
# programs, in the Wine prefix that the blocks make, and checks what they
# made: the distribution, and the files and the shortcut that its setup.exe
# installed. The prefix goes afterwards.
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

awk '/^<!-- run by the test Guide.ShellBlockRunsAsWritten -->$/ { take = 1; next }
     take && /^```sh$/ { inside = 1; next }
     inside && /^```$/ { inside = 0; take = 0; next }
     inside { print }' "$src/README.md" >"$work/guide.sh"
[ -s "$work/guide.sh" ] || fail "README.md has no shell block marked for this test"
echo "== the guide's commands"
cat "$work/guide.sh"

# The blocks' home: the installed library's programs and the author's build
# folder are this build's programs.
export HOME="$work/home"
mkdir -p "$HOME/quillant" "$HOME/notes-setup"
ln -s "$build/bin" "$HOME/quillant/bin"
ln -s "$build/bin" "$HOME/notes-setup/build"
cd "$work" || exit 1
# The author's shell has none of the harness's Wine settings.
unset WINEDLLOVERRIDES WINEPREFIX
(set -e; source "$work/guide.sh") || fail "a command of the guide failed"
# The commands set these; the loader does not wait for the setup program.
export WINEPREFIX="$prefix"
c="$WINEPREFIX/drive_c"
timeout 300 wineserver -w || fail "the setup program did not end"

[ -f "$c/notes-dist/setup.exe" ] || fail "no C:\\notes-dist\\setup.exe"
dest="$c/Program Files/Example Notes"
[ "$(cat "$dest/Notes.txt" 2>/dev/null)" = notes ] || fail "Notes.txt was not installed"
[ "$(cat "$dest/Läs mig.txt" 2>/dev/null)" = "read me" ] || fail "Läs mig.txt was not installed"
cmp -s "$build/bin/uninstall.exe" "$dest/uninstall.exe" || fail "uninstall.exe was not installed"
[ -n "$(find "$c/users" -path '*/Example Notes/Läs mig.LNK')" ] || fail "the shortcut was not made"
# Nothing of the test install reached the home outside the prefix: Wine's
# menu builder, which copies shortcuts into the host's menus and desktop,
# was off.
copied="$(find "$HOME" -path "$prefix" -prune -o \( -iname '*Example Notes*' -o -iname '*Läs mig*' \) -print)"
[ -z "$copied" ] || fail "the install reached the home's menus or desktop: $copied"
echo "The guide's commands built the distribution, and its setup.exe installed Example Notes."
