#!/usr/bin/env bash
# Builds the show's web page into out/web: the page, and the show's wasm twice, for one
# thread and for pages served cross-origin isolated (drawing threads); and Vorn3's package
# with its player page into out/web/vorn3 (npm pack there makes the package).
#   build-web.sh [CMAKE OPTIONS...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# Debian's emscripten finds its node modules only through NODE_PATH.
export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}
"$root/scripts/build.sh" build/host -DCMAKE_BUILD_TYPE=Release -DGLINT_TESTS=OFF \
    -DGLINT_BENCH=OFF -- embed_resources
out="$root/out/web"
mkdir -p "$out"
for threads in OFF ON; do
    dir="$root/build/web"
    [ "$threads" = ON ] && dir="$root/build/web-threads"
    emcmake cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DGLINT_EMBED_RESOURCES="$root/build/host/tools/embed_resources" \
        -DGLINT_WEB_THREADS="$threads" "$@" >/dev/null
    cmake --build "$dir" --target glint
    cp "$dir"/shell/glint*.js "$dir"/shell/glint*.wasm "$out"/
done
cp "$root"/platform/web/page/* "$out"/
cmake --build "$root/build/web" --target vorn3_web
mkdir -p "$out/vorn3"
(cd "$root/build/web/vorn3/web" && cp ./*.mjs ./*.ts ./*.html ./*.css ./*.js vorn3.wasm package.json \
    "$out/vorn3"/)
