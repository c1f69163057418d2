#!/usr/bin/env bash
# Installs the Debian packages that building and testing Corvane need, when
# any is missing. Run as root (or with sudo) on Debian 12.
#
#   scripts/install-deps.sh [--gui]     --gui adds Xvfb and ImageMagick for screenshots
set -euo pipefail

packages=(
  cmake ninja-build g++ libgtest-dev googletest
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine64 fonts-wine nsis wixl libhivex-bin python3-hivex
)
[ "${1:-}" = "--gui" ] && packages+=(xvfb imagemagick x11-utils xauth)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}" >&2
sudo=""
[ "$(id -u)" -ne 0 ] && sudo=sudo
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
