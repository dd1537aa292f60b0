#!/usr/bin/env bash
# Configures and builds one flavour of the project:
#   build.sh DIR [CMAKE OPTIONS...] [-- TARGETS...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$1
shift
options=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
    options+=("$1")
    shift
done
[ $# -gt 0 ] && shift
cmake -S "$root" -B "$root/$dir" -G Ninja "${options[@]}" >/dev/null
cmake --build "$root/$dir" ${1:+--target "$@"}
