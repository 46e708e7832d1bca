# Sourced by the README's commands: installs what is missing (Debian 12, as root).
qnt_deps() {
  # The font packages stand in for faces of Windows that the wizard asks for
  # (tools/wine-env.sh maps them): the East Asian faces, which show Latin
  # letters too, and Arial's Greek and Vietnamese letters.
  local pkgs=(cmake ninja-build python3 git
    g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix libz-mingw-w64-dev mingw-w64-tools
    wine wine64 xvfb xauth x11-utils xdotool imagemagick
    vsftpd googletest clang libclang-rt-14-dev zlib1g-dev
    fonts-vlgothic fonts-wqy-microhei fonts-dejavu-extra fonts-croscore)
  local missing=()
  for p in "${pkgs[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
  # vsftpd's package starts a system-wide daemon on port 21; the tests run their own.
  if systemctl is-active --quiet vsftpd 2>/dev/null; then $sudo systemctl stop vsftpd || true; fi
}
