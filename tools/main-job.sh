#!/usr/bin/env bash
# The main job: build a distribution with the setup program (*BUILD) and run
# its setup.exe under Wine. Installs what is missing first.
set -u -o pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$top/tools/deps.sh"
source "$top/tools/harness.sh"
qnt_deps || { echo "installing the dependencies failed"; exit 1; }
qnt_configure_and_build win64 || exit 1

if [ ! -f "$top/build/win64/bin/Quillant20.exe" ]; then
  echo "The setup program Quillant20 is not built yet: there is no distribution to build or run."
  echo "What exists so far is the foundation library and its tests (tools/test.sh)."
  exit 2
fi
