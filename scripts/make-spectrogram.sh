#!/usr/bin/env bash
# Renders the show's song with vorn3play and draws its spectrogram into
# docs/spectrogram.png: the whole pass, one row of pixels per frequency band.
#
#   scripts/make-spectrogram.sh [BUILD_DIR [OUTPUT.png]]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${1:-$root/build}
output=${2:-$root/docs/spectrogram.png}
song=$root/resources/song/intro.xm
seconds=167  # one pass of the order list, tail included

# sox draws the picture; installed once, when missing.
if ! dpkg-query -W -f='${Status}' sox 2>/dev/null | grep -q 'install ok installed'; then
    echo "Installing: sox"
    as_root=()
    [ "$(id -u)" -ne 0 ] && as_root=(sudo)
    export DEBIAN_FRONTEND=noninteractive
    "${as_root[@]}" apt-get update -qq
    "${as_root[@]}" apt-get install -y -qq --no-install-recommends sox
fi

player=$build_dir/vorn3/tools/vorn3play/vorn3play
if [ ! -x "$player" ]; then
    cmake -S "$root" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
    ninja -C "$build_dir" vorn3play
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$player" "$song" --wav "$work/song.wav" --seconds "$seconds"
mkdir -p "$(dirname "$output")"
sox "$work/song.wav" -n remix - rate 22050 \
    spectrogram -x 1400 -y 257 -z 90 -t "Glint: the show's song, one pass (${seconds} s)" \
    -c "tools/make_song" -o "$output"
echo "Wrote $output"
