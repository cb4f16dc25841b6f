#!/usr/bin/env bash
# Installs every Debian 12 package Nolt Nolt needs to build, run, test and package.
# Works as root (CI) and as a normal user with sudo.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools libqt6printsupport6 qt6-qpa-plugins libqt6dbus6 libqt6network6 qt6-tools-dev qt6-l10n-tools
    libgl-dev libicu-dev
    libenchant-2-dev hunspell-en-us hunspell-de-de libxxhash-dev
    xvfb xauth xdotool x11-utils openbox imagemagick dbus dbus-x11
    libqt6svg6 appstream desktop-file-utils
    util-linux strace attr acl e2fsprogs python3 tzdata clang-format libglib2.0-bin
    poppler-utils fonts-symbola fonts-dejavu-core debhelper lintian librsvg2-bin syncthing
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get -o DPkg::Lock::Timeout=300 update
$sudo apt-get -o DPkg::Lock::Timeout=300 install -y --no-install-recommends "${missing[@]}"
