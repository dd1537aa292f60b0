#!/usr/bin/env bash
# Builds the module fuzzer with clang under ASan and UBSan and runs it:
#   fuzz.sh SECONDS [LIBFUZZER OPTIONS...]
# The corpus grows in build/fuzz/corpus from the written seeds and the show's song; a
# finding is saved in build/fuzz/findings and ends the run with a failure.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=$1
shift
dir=build/fuzz
"$root/scripts/build.sh" "$dir" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGLINT_WERROR=ON -DGLINT_BENCH=OFF -DGLINT_FUZZ=ON \
    -- module_fuzzer make_fuzz_seeds
build="$root/$dir"
"$build/tests/fuzz/make_fuzz_seeds" "$build/seeds"
mkdir -p "$build/corpus" "$build/findings"
"$build/tests/fuzz/module_fuzzer" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$build/findings/" "$@" \
    "$build/corpus" "$build/seeds" "$root/resources/song"
