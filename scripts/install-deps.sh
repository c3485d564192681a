#!/usr/bin/env bash
# Installs every Debian 12 package that building, running and testing Hushnote
# needs. Does nothing when they are all there already.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev libssl-dev openssl
  clang-14 libclang-rt-14-dev
  qt6-qpa-plugins xvfb xauth x11-utils xdotool xclip imagemagick fonts-dejavu-core
  hyperfine strace desktop-file-utils appstream lintian dpkg-dev file python3 man-db clang-format-15
  # setfacl: ACLs that replacing a file must keep, in the tests
  acl
  # the receiver page: its compiler, and Node and a browser for its tests
  emscripten nodejs chromium
  # the CommonMark reference renderer: what chats that format text do to a paste
  cmark
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
