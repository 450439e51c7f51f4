#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those missing.
# Quiet when everything is already there. Extra package names given as arguments are installed
# too (the packaging and screenshot scripts add their tools that way).
set -euo pipefail

PACKAGES=(
  cmake g++ make pkg-config clang-format
  libgtest-dev libgmock-dev libbenchmark-dev
  nlohmann-json3-dev libssl-dev libplist-dev libsqlite3-dev
  libspeex-dev libogg-dev speex sox time
  libxml2-dev libxml2-utils zlib1g-dev libminizip-dev unzip libjpeg-dev libpng-dev libzbar-dev
  python3 python3-pyftpdlib python3-openssl python3-spyne python3-lxml openssl curl libcurl4-openssl-dev espeak-ng qrencode zint
  libpulse-dev pulseaudio
  libsecret-1-dev gnome-keyring dbus-daemon dbus-bin libsecret-tools
  qt6-base-dev qt6-multimedia-dev libqt6svg6 qt6-translations-l10n xvfb xauth dpkg-dev
  "$@"
)

missing=()
for package in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi

echo "Installation des paquets manquants : ${missing[*]}"
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
