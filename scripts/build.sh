#!/usr/bin/env bash
# Configures and builds the trees: native with AddressSanitizer and
# UndefinedBehaviorSanitizer, native with ThreadSanitizer (clang), the libFuzzer
# targets (clang), win64 and win32. "scripts/build.sh release" builds only the
# optimised native tree the benchmarks use, "scripts/build.sh win64" (or win32) only
# the Windows tree that "make run" runs.
set -euo pipefail
cd "$(dirname "$0")/.."

configure_and_build() {
    local dir=$1
    shift
    if [ ! -f "$dir/build.ninja" ]; then
        cmake -G Ninja -S . -B "$dir" "$@" >/dev/null
    fi
    cmake --build "$dir" -j2
}

win64() {
    configure_and_build build/win64 -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64-w64-mingw32.cmake
}

win32() {
    configure_and_build build/win32 -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-w64-mingw32.cmake
}

case "${1:-}" in
release)
    configure_and_build build/release -DCMAKE_BUILD_TYPE=Release
    exit 0
    ;;
win64 | win32)
    "$1"
    exit 0
    ;;
esac

configure_and_build build/native -DCMAKE_BUILD_TYPE=Debug -DRELVIA_SANITIZE=address,undefined
configure_and_build build/tsan -DCMAKE_BUILD_TYPE=Debug -DRELVIA_SANITIZE=thread \
    -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang
configure_and_build build/fuzz -DCMAKE_BUILD_TYPE=Debug -DRELVIA_SANITIZE=address,undefined \
    -DRELVIA_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang
win64
win32
