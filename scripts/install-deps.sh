#!/usr/bin/env bash
# Installs the Debian packages Tavro needs, only those that are missing.
set -euo pipefail

packages=(
    g++ cmake ninja-build pkg-config ccache
    libgtest-dev libgmock-dev libbenchmark-dev crashmail libjpeg-dev
    clang libclang-rt-14-dev
    qt6-base-dev qt6-base-dev-tools qt6-svg-dev libxkbcommon-dev libhunspell-dev hunspell-en-us hunspell-ru
    xvfb xauth x11-utils imagemagick poppler-utils fonts-dejavu-core
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
