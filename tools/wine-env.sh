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

# How the test prefix shows the faces the wizard asks for, as the Windows of
# each language shows them (qnt_wine_font_replacements, once per prefix; a
# prefix prepared by an older version of it is prepared again):
# - the East Asian faces ("ＭＳ Ｐゴシック", "바탕", "宋体" and their relatives)
#   are not on this system, and the face Wine would take instead has no Latin
#   letters or digits: they are replaced by installed faces (tools/deps.sh)
#   that hold Latin letters as well;
# - Arial is not here either, and Wine would take whatever face it finds for
#   the character set: its Western, Central European and Cyrillic letters
#   come from Liberation Sans (Arial's widths), its Greek from DejaVu Sans
#   Condensed and its Vietnamese from Arimo, which draw those letters as
#   evenly as Arial does there (Liberation Sans spaces its Greek unevenly at
#   the wizard's sizes and has no Vietnamese);
# - text is drawn unsmoothed, as on Windows 95 and NT 4: Wine would smooth
#   every face that does not forbid it, and the stand-ins of the East Asian
#   faces, which on those systems are drawn black from pictures of their
#   own at these sizes, would show a faint grey.
QNT_WINE_FONTS_VERSION=2
qnt_wine_font_replacements() {
  local prefix="$1" reg="$1/qnt-fonts.reg"
  {
    printf '\xef\xbb\xbfWindows Registry Editor Version 5.00\r\n\r\n'
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
    local face set
    for face in 'ＭＳ Ｐゴシック' 'MS PGothic' 'MS UI Gothic'; do printf '"%s"="VL PGothic"\r\n' "$face"; done
    for face in 'ＭＳ ゴシック' 'MS Gothic'; do printf '"%s"="VL Gothic"\r\n' "$face"; done
    for face in '바탕' 'Batang' '굴림' 'Gulim' '宋体' 'SimSun'; do printf '"%s"="WenQuanYi Micro Hei"\r\n' "$face"; done
    printf '\r\n[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes]\r\n'
    for set in 0 238 204; do printf '"Arial,%s"="Liberation Sans,%s"\r\n' "$set" "$set"; done
    printf '"Arial,161"="DejaVu Sans Condensed,161"\r\n"Arial,163"="Arimo,163"\r\n'
  } | iconv -f UTF-8 -t UTF-16LE >"$reg"
  WINEPREFIX="$prefix" timeout -k 5 120 wine regedit /S "$(WINEPREFIX="$prefix" timeout -k 5 60 winepath -w "$reg")" >/dev/null 2>&1
  qnt_wine_unsmoothed_text
}

# Wine asks fontconfig whether to smooth text; the prefix's programs read
# the answer from the HOME above.
qnt_wine_unsmoothed_text() {
  mkdir -p "$HOME/.config/fontconfig"
  cat >"$HOME/.config/fontconfig/fonts.conf" <<'CONF'
<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig>
  <match target="pattern"><edit name="antialias" mode="assign"><bool>false</bool></edit></match>
</fontconfig>
CONF
}

# Wine measures some faces' letters (Liberation Sans's Cyrillic) with
# FreeType's newer hinting but draws them unsmoothed with the older, wider
# one, so that text comes out wider than measured and is cut at the edge of
# its control; the older hinting for both keeps them alike, as on Windows.
export FREETYPE_PROPERTIES="truetype:interpreter-version=35"

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

# Prepares the prefix with what the tests rely on, each step once: Wine's
# own setup with no crash dialog that would wait for a click (marked by
# .qnt-ready), the faces of every language (their version in .qnt-fonts: a
# prefix prepared by an older version of them gets them again), and the
# unsmoothed text of the HOME above. False when a step ran out of time.
qnt_wine_prepare_prefix() {
  local prefix="$1"
  if [ ! -f "$prefix/.qnt-ready" ]; then
    qnt_wine_in_time "$prefix" 600 wineboot -i || return 1
    qnt_wine_in_time "$prefix" 120 wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f || return 1
    qnt_wine_in_time "$prefix" 300 wineserver -w || return 1
    touch "$prefix/.qnt-ready"
  fi
  if [ "$(cat "$prefix/.qnt-fonts" 2>/dev/null)" != "$QNT_WINE_FONTS_VERSION" ]; then
    qnt_wine_font_replacements "$prefix"
    qnt_wine_in_time "$prefix" 300 wineserver -w || return 1
    echo "$QNT_WINE_FONTS_VERSION" >"$prefix/.qnt-fonts"
  fi
  [ -f "$HOME/.config/fontconfig/fonts.conf" ] || qnt_wine_unsmoothed_text
}

# The tests' prefix, prepared once, serialised across parallel tests.
qnt_wine_ensure_prefix() {
  local prefix="$1"
  [ -f "$prefix/.qnt-ready" ] && [ "$(cat "$prefix/.qnt-fonts" 2>/dev/null)" = "$QNT_WINE_FONTS_VERSION" ] &&
    [ -f "$HOME/.config/fontconfig/fonts.conf" ] && return 0
  mkdir -p "$(dirname "$prefix")"
  (
    flock -w 900 9 || { echo "the Wine prefix $prefix stayed locked for 15 minutes" >&2; exit 1; }
    qnt_wine_prepare_prefix "$prefix" || exit 1
  ) 9>"$prefix.lock"
}
