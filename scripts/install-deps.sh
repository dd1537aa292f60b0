#!/usr/bin/env bash
# Installs the Debian packages the project needs, once; later runs find them and
# install nothing. Needs root (or sudo) only when something is missing.
#   install-deps.sh [web]   web: also what builds the show's page and tests it in a browser
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    libsdl2-dev libpng-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    libgl-dev libegl-dev libegl-mesa0 libgl1-mesa-dri
    ffmpeg
    clang libclang-rt-14-dev
)
if [ "${1:-}" = web ]; then
    packages+=(emscripten chromium)
    # A Node.js from elsewhere brings its own npm, which Debian's would conflict with.
    command -v npm >/dev/null || packages+=(nodejs npm)
fi

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
as_root=()
[ "$(id -u)" -ne 0 ] && as_root=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
