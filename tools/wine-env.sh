# Sourced: the environment every Wine process of this build runs in.
# QNT_WINE_ROOT must be set (the build's wine folder).
export WINEPREFIX="${WINEPREFIX_OVERRIDE:-$QNT_WINE_ROOT/prefix}"
export WINEARCH=win64
export WINEDEBUG="${WINEDEBUG:--all}"
# No browser or .NET add-on offers, no menu entries written into the host's HOME.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export HOME="$QNT_WINE_ROOT/home"
export TMPDIR="$QNT_WINE_ROOT/tmp"
export TZ=UTC
mkdir -p "$HOME" "$TMPDIR"

# Makes the prefix once (serialised across parallel tests) and sets what the
# tests rely on: no crash dialog that would wait for a click.
qnt_wine_ensure_prefix() {
  local prefix="$1"
  [ -f "$prefix/.qnt-ready" ] && return 0
  mkdir -p "$(dirname "$prefix")"
  (
    flock 9
    if [ ! -f "$prefix/.qnt-ready" ]; then
      WINEPREFIX="$prefix" wineboot -i >/dev/null 2>&1
      WINEPREFIX="$prefix" wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
      WINEPREFIX="$prefix" wineserver -w
      touch "$prefix/.qnt-ready"
    fi
  ) 9>"$prefix.lock"
}
