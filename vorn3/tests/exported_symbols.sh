#!/usr/bin/env bash
# The shared library exports every function of the C header and nothing else.
#   exported_symbols.sh LIBRARY C_HEADER
set -euo pipefail
library=$1
c_header=$2
status=0
exported=$(nm -D --defined-only "$library" | awk '{ print $3 }' | sed 's/@.*//')
declared=$(grep -o 'vorn3_[a-z0-9_]*(' "$c_header" | tr -d '(' | sort -u)
for symbol in $exported; do
    [[ $symbol == VORN3_0 ]] && continue
    grep -qx "$symbol" <<<"$declared" || { echo "exported, not in the C header: $symbol"; status=1; }
done
for function in $declared; do
    grep -qx "$function" <<<"$exported" || { echo "not exported: $function"; status=1; }
done
exit $status
