#!/usr/bin/env bash
# Runs every test: installs what is missing, builds with warnings as errors, runs the
# suite, then runs it again under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
"$root/scripts/install-deps.sh"
jobs=$(nproc)

run_suite() {
    local dir=$1
    shift
    "$root/scripts/build.sh" "$dir" -DGLINT_WERROR=ON -DGLINT_BENCH=OFF "$@"
    ctest --test-dir "$root/$dir" --output-on-failure -j "$jobs"
}

echo "== tests =="
run_suite build/test -DCMAKE_BUILD_TYPE=RelWithDebInfo
echo "== tests under ASan and UBSan =="
run_suite build/asan -DCMAKE_BUILD_TYPE=Debug -DGLINT_SANITIZE=ON
