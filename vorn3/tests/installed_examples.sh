#!/usr/bin/env bash
# Builds Vorn3 alone without its tests, installs it under Debian's two-level library
# directory, and builds and runs the README's examples against the installed library:
# through pkg-config (shared, and static with no shared library picked in its place) and
# through find_package.
#   installed_examples.sh SOURCE WORK MODULE
set -euo pipefail
source=$1
work=$2
module=$3
libdir=lib/x86_64-linux-gnu
rm -rf "$work"
cmake -S "$source" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVORN3_TESTS=OFF \
    -DCMAKE_INSTALL_LIBDIR="$libdir" >/dev/null
cmake --build "$work/build" >/dev/null
cmake --install "$work/build" --prefix "$work/prefix" >/dev/null
export PKG_CONFIG_PATH="$work/prefix/$libdir/pkgconfig"
export LD_LIBRARY_PATH="$work/prefix/$libdir"
mkdir -p "$work/bin"
# shellcheck disable=SC2046 # pkg-config's words are meant to split
cc -std=c11 "$source/examples/render.c" $(pkg-config --cflags --libs vorn3) -o "$work/bin/c"
# shellcheck disable=SC2046
c++ -std=c++20 "$source/examples/render.cpp" $(pkg-config --cflags --libs vorn3) \
    -o "$work/bin/cpp"
# shellcheck disable=SC2046
c++ -x c "$source/examples/render.c" -x none $(pkg-config --cflags --libs --static vorn3-static) \
    -o "$work/bin/static"
if ldd "$work/bin/static" | grep -q libvorn3; then
    echo "the static example links the shared library" >&2
    exit 1
fi
cmake -S "$source/examples" -B "$work/examples" -G Ninja -DCMAKE_PREFIX_PATH="$work/prefix" \
    >/dev/null
cmake --build "$work/examples" >/dev/null
for program in "$work"/bin/* "$work"/examples/render_c "$work"/examples/render_cpp \
    "$work"/examples/render_static; do
    "$program" "$module" 0.5 | grep -q "peak" || {
        echo "$program did not play $module" >&2
        exit 1
    }
done
