#!/usr/bin/env bash
# Installs the missing Debian packages of the given lists in scripts/ (default: debian-packages.txt,
# what the programs need); ./test.sh adds debian-packages-tests.txt.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
[ $# -gt 0 ] || set -- debian-packages.txt
wanted=()
for list in "$@"; do
  mapfile -t -O ${#wanted[@]} wanted < <(grep -vE '^\s*(#|$)' "$here/$list")
done
missing=()
for p in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing missing Debian packages: ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
