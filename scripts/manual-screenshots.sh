#!/usr/bin/env bash
# Takes the manual's pictures from the real window under Xvfb and writes them into
# site/manual/, where the manual's page finds them. Run after a build; commit the PNGs.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$top/build}
cmake --build "$build" --target linguaro-manual-shots linguaro-service linguaro_site
unset QT_QPA_PLATFORM
# a desktop without a theme of its own, so the pictures look the same on every machine
export QT_QPA_PLATFORMTHEME=
xvfb-run -a -s '-screen 0 1280x800x24' "$build/linguaro-manual-shots" "$top/site/manual"
