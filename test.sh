#!/usr/bin/env bash
# Installs what is missing (the tests' own packages too), builds everything, and runs every test
# (Qt on the offscreen platform).
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
"$top/scripts/install-deps.sh" debian-packages.txt debian-packages-tests.txt
"$top/scripts/build.sh"
export QT_QPA_PLATFORM=offscreen
cd "$top/build"
ctest --output-on-failure -j "$(nproc)" --timeout 600 "$@"
