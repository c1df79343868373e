#!/usr/bin/env bash
# Installs what building, running and testing the reader needs on Debian 12. Safe to run again.
set -euo pipefail

packages=(
  cmake g++ ninja-build pkg-config
  qt6-base-dev qt6-webengine-dev libqt6webenginecore6-bin libgl-dev
  libsqlite3-dev sqlite3 mdbtools mdbtools-dev libicu-dev zlib1g-dev libcurl4-openssl-dev
  libgtest-dev libgmock-dev
  # velm serve's HTTP library (header-only), and the browser its tests run the pages in.
  libboost-dev chromium
  fonts-arphic-uming
  # Qt's own dialogs in Chinese; installed stand-ins for the Latin faces the pages name.
  qt6-translations-l10n fonts-liberation fonts-dejavu-core
  xvfb xauth x11-utils imagemagick xdotool
  shared-mime-info desktop-file-utils xdg-utils
  # cpack -G DEB takes the package's dependencies from dpkg-shlibdeps and finds the programs with file; the
  # install test checks the manual with groff and the package with lintian.
  dpkg-dev file groff-base lintian
)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  as_root apt-get update -q
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
