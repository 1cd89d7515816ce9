#!/usr/bin/env bash
# Installs the Debian 12 packages that the build, the tests and the demo need.
# Idempotent: when every package is already present it only runs dpkg-query and exits.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config clang libclang-rt-14-dev clang-format
  libgtest-dev libgmock-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libdw-dev libsqlite3-dev sqlite3 libpugixml-dev libcurl4-openssl-dev nlohmann-json3-dev
  libarchive-dev zlib1g-dev liblzma-dev libzstd-dev gzip xz-utils zstd zip tar
  libcpp-httplib-dev libboost-dev libssl-dev libsodium-dev libfontconfig-dev fontconfig
  fonts-liberation fonts-wine libxcb1-dev python3 python3-fonttools
  xvfb xauth x11-apps x11-utils xdotool imagemagick tinyproxy nginx openssl curl binutils
  help2man dpkg-dev fakeroot file lintian desktop-file-utils appstream libglib2.0-bin minisign
  systemd systemd-container adduser
  chromium chromium-driver python3-selenium
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
