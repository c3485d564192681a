#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Hushnote
# needs, on Debian 12 or 13: each name here is in both. Does nothing when they
# are all there already.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev libssl-dev openssl
  # each release's own clang for the fuzz targets, and one clang-format on both,
  # since each version lays code out a little differently
  clang libclang-rt-dev clang-format-19
  qt6-qpa-plugins xvfb xauth x11-utils xdotool xclip imagemagick fonts-dejavu-core
  hyperfine strace desktop-file-utils appstream lintian dpkg-dev file python3 man-db
  # the receiver page: its compiler, and Node and a browser for its tests
  emscripten nodejs chromium
  # the Debian 13 stage's fresh root, made from the archive
  mmdebstrap
  # word lists: real messages for the wrong-password rule's tests
  wamerican wngerman wfrench wspanish
)

missing=()
for p in "${packages[@]}"; do
  if [ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null)" != "install ok installed" ]; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
