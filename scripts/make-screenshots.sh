#!/usr/bin/env bash
# Draws one frame inside each of the eight scenes with glint-capture and puts them
# together into docs/scenes.png for the README.
#
#   scripts/make-screenshots.sh [OUTPUT.png]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
output=${1:-$root/docs/scenes.png}

"$root/scripts/install-deps.sh"
if ! command -v montage >/dev/null; then
    as_root=()
    [ "$(id -u)" -ne 0 ] && as_root=(sudo)
    "${as_root[@]}" apt-get install -y -qq --no-install-recommends imagemagick
fi
"$root/scripts/build.sh" build/release -DCMAKE_BUILD_TYPE=Release -DGLINT_TESTS=OFF \
    -DGLINT_BENCH=OFF -- glint-capture

# A scene time inside each scene, in tenths of a second since the music started.
times=(250 430 600 790 930 1100 1280 1450)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
list=$(IFS=,; echo "${times[*]}")
"$root/build/release/tools/glint_capture/glint-capture" --frames "$list" --out "$work"

frames=()
for scene in "${!times[@]}"; do
    frames+=(-label "scene $scene" "$work/frame-${times[$scene]}.00.png")
done
mkdir -p "$(dirname "$output")"
montage "${frames[@]}" -resize 320x240 -tile 4x2 -geometry +4+4 -background '#202024' \
    -fill '#d8d8e0' -pointsize 14 -strip "$output"
echo "Wrote $output"
