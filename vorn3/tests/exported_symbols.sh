#!/usr/bin/env bash
# The shared library exports the public headers' functions and classes and nothing else,
# and every function of the C header.
#   exported_symbols.sh LIBRARY C_HEADER CXX_HEADER
set -euo pipefail
library=$1
c_header=$2
cxx_header=$3
status=0
while read -r symbol; do
    case "$symbol" in
    VORN3_0) ;;
    vorn3_*)
        grep -q "${symbol}(" "$c_header" || { echo "exported, not in the C header: $symbol"; status=1; } ;;
    "typeinfo for vorn3::"* | "typeinfo name for vorn3::"* | "vtable for vorn3::"*)
        class=${symbol##*vorn3::}
        grep -q "class VORN3_API ${class}\b" "$cxx_header" ||
            { echo "exported, not a public class: $symbol"; status=1; } ;;
    vorn3::*)
        name=${symbol#vorn3::}
        name=${name%%(*}
        class=${name%%::*}
        if [[ $name == *::* ]]; then
            grep -q "class VORN3_API ${class}\b" "$cxx_header" ||
                { echo "exported, not of a public class: $symbol"; status=1; }
        else
            grep -q "VORN3_API .*\b${name}(" "$cxx_header" ||
                { echo "exported, not in the C++ header: $symbol"; status=1; }
        fi ;;
    *)
        echo "exported, not Vorn3's: $symbol"
        status=1 ;;
    esac
done < <(nm -D --defined-only "$library" | awk '{ print $3 }' | sed 's/@.*//' | c++filt)
exported=$(nm -D --defined-only "$library" | awk '{ print $3 }' | sed 's/@.*//')
for function in $(grep -o 'vorn3_[a-z0-9_]*(' "$c_header" | tr -d '(' | sort -u); do
    grep -qx "$function" <<<"$exported" || { echo "not exported: $function"; status=1; }
done
exit $status
