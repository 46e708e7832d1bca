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

# The Japanese and Korean faces that the wizard asks for (by their own names
# and their English ones) are not on this system, and the face Wine would
# take instead has no Latin letters or digits: they come out as boxes. They
# are replaced by installed faces (tools/deps.sh) that hold Latin letters as
# well, as the Windows of those languages shows them.
qnt_wine_font_replacements() {
  local prefix="$1" reg="$1/qnt-fonts.reg"
  {
    printf '\xef\xbb\xbfWindows Registry Editor Version 5.00\r\n\r\n'
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
    local face
    for face in 'ＭＳ Ｐゴシック' 'MS PGothic' 'MS UI Gothic'; do printf '"%s"="VL PGothic"\r\n' "$face"; done
    for face in 'ＭＳ ゴシック' 'MS Gothic'; do printf '"%s"="VL Gothic"\r\n' "$face"; done
    for face in '바탕' 'Batang' '굴림' 'Gulim'; do printf '"%s"="WenQuanYi Micro Hei"\r\n' "$face"; done
  } | iconv -f UTF-8 -t UTF-16LE >"$reg"
  WINEPREFIX="$prefix" timeout -k 5 120 wine regedit /S "$(WINEPREFIX="$prefix" timeout -k 5 60 winepath -w "$reg")" >/dev/null 2>&1
}

# Runs a step of a prefix's preparation: false, with a word, when it ran out
# of time (the prefix then lacks part of Wine's setup and is not marked ready,
# so that the next run boots it again). Other failures count as before.
qnt_wine_in_time() {
  local prefix="$1" seconds="$2"
  shift 2
  WINEPREFIX="$prefix" timeout -k 5 "$seconds" "$@" >/dev/null 2>&1
  case $? in
    124 | 137) echo "preparing the Wine prefix $prefix: \"$*\" ran out of time ($seconds s); not marked ready" >&2
               return 1 ;;
  esac
}

# Makes the prefix once (serialised across parallel tests) and sets what the
# tests rely on: no crash dialog that would wait for a click, the faces of
# Japanese and Korean. A prefix made before the faces were set gets them now.
qnt_wine_ensure_prefix() {
  local prefix="$1"
  [ -f "$prefix/.qnt-ready" ] && [ -f "$prefix/.qnt-fonts" ] && return 0
  mkdir -p "$(dirname "$prefix")"
  (
    flock -w 900 9 || { echo "the Wine prefix $prefix stayed locked for 15 minutes" >&2; exit 1; }
    if [ ! -f "$prefix/.qnt-ready" ]; then
      qnt_wine_in_time "$prefix" 600 wineboot -i || exit 1
      qnt_wine_in_time "$prefix" 120 wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f || exit 1
      qnt_wine_in_time "$prefix" 300 wineserver -w || exit 1
      touch "$prefix/.qnt-ready"
    fi
    if [ ! -f "$prefix/.qnt-fonts" ]; then
      qnt_wine_font_replacements "$prefix"
      qnt_wine_in_time "$prefix" 300 wineserver -w || exit 1
      touch "$prefix/.qnt-fonts"
    fi
  ) 9>"$prefix.lock"
}
