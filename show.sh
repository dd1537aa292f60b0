#!/usr/bin/env bash
# Runs the show: installs what is missing, builds, and opens the window. Where there is
# no display, records the show to a video file instead and says where it is.
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" build/release -DCMAKE_BUILD_TYPE=Release -DGLINT_TESTS=OFF -DGLINT_BENCH=OFF
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec "$root/build/release/shell/glint"
fi
video="$root/out/glint.mp4"
mkdir -p "$(dirname "$video")"
echo "No display here: recording the show to $video"
"$root/build/release/tools/glint_capture/glint-capture" --video "$video"
echo "The show is in $video"
