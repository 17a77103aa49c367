#!/usr/bin/env bash
# Installs the Debian packages Enlazor needs to build, test and show its window.
# Only the missing ones are installed; run as root (or through sudo).
set -euo pipefail

# "windows": what the Windows build and its tests under Wine need instead.
if [ "${1:-}" = "windows" ]; then
  packages=(
    cmake g++-mingw-w64-x86-64-posix dpkg-dev libgtest-dev wine wine64 fonts-wine wixl msitools
    xvfb xauth x11-utils imagemagick librsvg2-bin python3 python3-dbf xdotool locales
  )
else
packages=(
  build-essential cmake pkg-config
  libexpat1-dev expat libpugixml-dev libgtest-dev qt6-base-dev clang-format
  python3 python3-dbfread python3-dbf
  xvfb xauth fonts-dejavu-core fonts-liberation bc
  clang libclang-rt-14-dev strace librsvg2-bin
  dpkg-dev lintian desktop-file-utils man-db
)
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "Instalando: ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Wine takes its language from the system's locale: the Windows window is
# looked at in Spanish, as its users see it.
if [ "${1:-}" = "windows" ] && ! locale -a 2>/dev/null | grep -qi '^es_ES\.utf-\?8$'; then
  "${sudo_cmd[@]}" sed -i 's/^# *\(es_ES.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  "${sudo_cmd[@]}" locale-gen > /dev/null
fi
