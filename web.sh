#!/usr/bin/env bash
# The show and Vorn3's module player in a web browser: installs what is missing, builds
# both into out/web and serves them on localhost (PORT, default 8080), cross-origin
# isolated, until Ctrl+C.
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
"$root/scripts/install-deps.sh" web
"$root/scripts/build-web.sh"
exec node "$root/platform/web/serve.mjs" "$root/out/web" --port "${PORT:-8080}"
