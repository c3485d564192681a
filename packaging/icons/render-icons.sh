#!/usr/bin/env bash
# Draws the program icon at every hicolor size with the program's own drawing
# code and writes packaging/icons/<size>.png. Needs qt6-base-dev.
set -euo pipefail
cd "$(dirname "$0")/../.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
g++ -std=c++20 -O1 -fPIC -Wall -Wextra -Werror -Isrc packaging/icons/render-icons.cpp \
  src/ui/main/AppIcon.cpp \
  $(pkg-config --cflags --libs Qt6Widgets) -o "$work/render-icons"
QT_QPA_PLATFORM=offscreen "$work/render-icons" packaging/icons
ls -l packaging/icons/*.png
