#!/usr/bin/env bash
# Installs what is missing, builds what the translator runs (not the tests), and starts it with
# its built-in defaults.
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh" linguaro_programs
exec "$top/build/linguaro" "$@"
