#!/usr/bin/env bash
# Renders a contact sheet of the show's seven bitmaps into docs/bitmaps.png: the
# lettering enlarged with square pixels, the two surface textures enlarged and also
# tiled 2 × 2 at their own size, so that any seam shows.
#
#   scripts/make-contact-sheet.sh [BITMAP_DIR [OUTPUT.png]]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source_dir=${1:-$root/resources/bitmaps}
output=${2:-$root/docs/bitmaps.png}

# ImageMagick draws the sheet, DejaVu its captions; installed once, when missing.
packages=(imagemagick fonts-dejavu-core)
missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    as_root=()
    [ "$(id -u)" -ne 0 ] && as_root=(sudo)
    export DEBIAN_FRONTEND=noninteractive
    "${as_root[@]}" apt-get update -qq
    "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
background='#202024'
font=DejaVu-Sans

# panel NAME FILE SCALE CAPTION [-flip]: one enlarged bitmap with its caption
# underneath; lettering is stored upside down and shown as it appears on screen.
panel() {
    montage -label "$4" "$source_dir/$2" ${5:-} -filter point -resize "$3%" \
        -font "$font" -pointsize 13 -fill '#d8d8e0' -background "$background" \
        -geometry +10+8 "$work/$1.png"
}

# tiled NAME FILE CAPTION: the texture repeated 2 × 2 at its own size.
tiled() {
    convert "$source_dir/$2" "$source_dir/$2" +append "$work/$1-row.png"
    convert "$work/$1-row.png" "$work/$1-row.png" -append "$work/$1-tiles.png"
    montage -label "$3" "$work/$1-tiles.png" -font "$font" -pointsize 13 -fill '#d8d8e0' \
        -background "$background" -geometry +10+8 "$work/$1.png"
}

panel logo logo.bmp 300 '103  logo 216 × 20  (× 3)' -flip
panel title title.bmp 300 '104  title 100 × 40  (× 3)' -flip
panel code credit_code.bmp 300 '105  caption 100 × 22  (× 3)' -flip
panel music credit_music.bmp 300 '106  caption 100 × 22  (× 3)' -flip
panel greetings greetings.bmp 200 '116  greetings 256 × 256  (× 2)' -flip
panel marble marble.bmp 200 '113  marble 128 × 128  (× 2)'
panel tunnel tunnel.bmp 200 '123  tunnel 128 × 128  (× 2)'
tiled marble-tiled marble.bmp '113 tiled 2 × 2'
tiled tunnel-tiled tunnel.bmp '123 tiled 2 × 2'

convert -background "$background" -gravity center \
    "$work/title.png" "$work/code.png" "$work/music.png" +append "$work/captions.png"
convert -background "$background" -gravity center \
    "$work/marble.png" "$work/tunnel.png" -append "$work/textures.png"
convert -background "$background" -gravity center \
    "$work/greetings.png" "$work/textures.png" +append "$work/middle.png"
convert -background "$background" -gravity center \
    "$work/marble-tiled.png" "$work/tunnel-tiled.png" +append "$work/tiles.png"
mkdir -p "$(dirname "$output")"
convert -background "$background" -gravity center \
    "$work/logo.png" "$work/captions.png" "$work/middle.png" "$work/tiles.png" -append \
    -bordercolor "$background" -border 10 -strip "$output"
echo "Wrote $output"
