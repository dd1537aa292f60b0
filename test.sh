#!/usr/bin/env bash
# Runs every test: installs what is missing, builds with warnings as errors and runs the
# suite; runs it again under AddressSanitizer and UndefinedBehaviorSanitizer, and again
# under ThreadSanitizer, where the mixing thread plays while songs and outputs come
# and go; builds the show's web page and Vorn3's package and player page and tests them
# in a headless chromium against the native build; and fuzzes the module loader and player for a while.
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
"$root/scripts/install-deps.sh" web
jobs=$(nproc)

echo "== tests =="
"$root/scripts/build.sh" build/test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGLINT_WERROR=ON -DGLINT_BENCH=OFF
ctest --test-dir "$root/build/test" --output-on-failure -j "$jobs"

echo "== tests under ASan and UBSan =="
"$root/scripts/build.sh" build/asan -DCMAKE_BUILD_TYPE=Debug -DGLINT_WERROR=ON -DGLINT_BENCH=OFF \
    -DGLINT_SANITIZE=ON
ctest --test-dir "$root/build/asan" --output-on-failure -j "$jobs"

echo "== tests under TSan =="
"$root/scripts/build.sh" build/tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGLINT_WERROR=ON \
    -DGLINT_BENCH=OFF -DGLINT_TSAN=ON
TSAN_OPTIONS="halt_on_error=1 suppressions=$root/tests/thread_sanitizer.supp" \
    ctest --test-dir "$root/build/tsan" --output-on-failure -j "$jobs"

echo "== the show's page and the module player in a browser =="
"$root/scripts/build-web.sh" -DGLINT_WERROR=ON
(cd "$root/tests/web" && npm ci --no-audit --no-fund --loglevel=error)
"$root/build/test/tests/web/page_reference" >"$root/build/test/page_reference.json"
node "$root/tests/web/page_test.mjs" "$root/out/web" "$root/build/test/page_reference.json"
"$root/build/test/tests/fuzz/make_fuzz_seeds" "$root/build/test/written_modules"
node "$root/tests/web/vorn3_test.mjs" "$root/out/web" "$root/build/test/vorn3/tools/vorn3play/vorn3play" \
    "$root/resources/song/intro.xm" "$root/build/test/written_modules"

echo "== module fuzzer =="
"$root/scripts/fuzz.sh" 90
