#!/usr/bin/env bash
# Installs the Debian packages Setup needs to build and test, if missing.
set -euo pipefail

packages=(g++ cmake ninja-build pkg-config qt6-base-dev libjpeg62-turbo-dev
          fonts-wine fonts-dejavu-core libqt6sql6-sqlite libqt6sql6-psql "$@")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
