#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Hushnote
# needs, on Debian 12 or 13 (each name here is in both), and the Firefox
# test's driver from its npm lock file. Does nothing when they are all there
# already.
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
  # setfacl: ACLs that replacing a file must keep, in the tests
  acl
  # the receiver page: its compiler, and Node and a browser for its tests
  emscripten nodejs chromium
  # the second browser engine, and npm for the driver that speaks WebDriver BiDi to it
  firefox-esr npm
  # the CommonMark reference renderer: what chats that format text do to a paste
  cmark
  # the Debian 13 stage's fresh root, made from the archive
  mmdebstrap
  # word lists: real messages for the wrong-password rule's tests
  wamerican wngerman wfrench wspanish
)

missing=()
for p in "${packages[@]}"; do
  # NodeSource's nodejs carries its own npm and conflicts with Debian's.
  [ "$p" = npm ] && command -v npm >/dev/null && continue
  if [ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null)" != "install ok installed" ]; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# puppeteer-core, exactly as locked, without a browser of its own: the test
# drives Debian's firefox-esr. Only when the lock file is newer than the install.
driver="$(dirname "$0")/../tests/web/firefox"
if [ ! "$driver/node_modules/.package-lock.json" -nt "$driver/package-lock.json" ]; then
  echo "Installing the Firefox test's driver (npm ci)"
  # Building and running the program do not need it: tests/web/run.sh says when it is missing.
  # A Node.js from elsewhere trusts only its own list of authorities; the
  # system's is the one the machine's network was set up with.
  [ -f /etc/ssl/certs/ca-certificates.crt ] &&
    export NODE_EXTRA_CA_CERTS="${NODE_EXTRA_CA_CERTS:-/etc/ssl/certs/ca-certificates.crt}"
  (cd "$driver" && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error) ||
    echo "install-deps: npm ci failed; the Firefox test cannot run" >&2
fi
