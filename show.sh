#!/usr/bin/env bash
# Runs the show: installs what is missing, builds, and opens the window.
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" build/release -DCMAKE_BUILD_TYPE=Release -DGLINT_TESTS=OFF -DGLINT_BENCH=OFF
exec "$root/build/release/shell/glint"
