#!/usr/bin/env bash
# Installs what is missing, builds, and starts the translator with its built-in defaults.
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh"
exec "$top/build/linguaro" "$@"
