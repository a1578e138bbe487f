#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests, the demo and the
# package check need, asking apt only when something is missing.
set -euo pipefail

packages=(
    build-essential cmake ninja-build clang libclang-rt-14-dev
    qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev
    qt6-translations-l10n
    qt6-httpserver-dev qt6-websockets-dev liblo-dev libqrencode-dev pkg-config
    liblo-tools chromium chromium-driver python3-selenium
    xvfb xauth imagemagick xdotool
    dpkg-dev desktop-file-utils appstream lintian man-db x11-utils file
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
