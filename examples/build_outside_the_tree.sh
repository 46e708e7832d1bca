#!/usr/bin/env bash
# The complete example as an author's project outside the tree: installs this
# build's library into a prefix of its own (`cmake --install`), copies
# examples/complete-example to a folder outside the tree, and configures and
# builds it there against the prefix with the toolchain file installed with
# the library, as the README's guide says. Everything goes afterwards.
# Usage: build_outside_the_tree.sh <source folder> <build folder> <toolchain file name>
set -u
src="$1" build="$2" toolchain="$3"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAILED: $*"; exit 1; }

prefix="$work/quillant"
echo "== cmake --install $build --prefix $prefix"
cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 || { cat "$work/install.log"; fail "the install failed"; }
for f in bin/QuillantLoadProgram.exe bin/uninstall.exe bin/qnt_wizard_driver.exe \
  lib/cmake/Quillant/QuillantConfig.cmake "lib/cmake/Quillant/$toolchain" \
  include/quillant/engine/cmp_TInstall.h include/quillant/setup/SetupMain.h; do
  [ -f "$prefix/$f" ] || fail "the install has no $f"
done

cp -r "$src/examples/complete-example" "$work/journal"
echo "== configuring and building $work/journal against the prefix"
cmake -S "$work/journal" -B "$work/journal-build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$prefix/lib/cmake/Quillant/$toolchain" || fail "configuring failed"
start=$SECONDS
cmake --build "$work/journal-build" || fail "building failed"
echo "built in $((SECONDS - start)) s"
for f in JournalSetup.exe JournalSetup.exe.debug JOURNAL.dll; do
  [ -f "$work/journal-build/$f" ] || fail "the build made no $f"
done
echo "Example Journal built outside the tree against the installed library."
