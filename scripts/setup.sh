#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when any is missing.
set -euo pipefail

packages=(
    cmake ninja-build g++ clang clang-format
    googletest
    g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
    binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
    wine wine64
    xvfb fonts-nanum xdotool imagemagick x11-utils
    python3-pytest chromium iproute2 procps
)

export DEBIAN_FRONTEND=noninteractive

installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

missing=()
for p in "${packages[@]}"; do
    installed "$p" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "installing: ${missing[*]}"
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# 32-bit Wine runs the i686 build, the one 32-bit hosts load. Without it (the archive's
# i386 index has been broken before) the i686 suites are skipped, and no i386
# architecture is left behind to make the next apt-get update fail.
if ! installed wine32:i386; then
    echo "installing: wine32:i386"
    added=
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386
        added=1
    fi
    if ! { apt-get update -qq && apt-get install -y -qq --no-install-recommends wine32:i386 >/dev/null; }; then
        echo "setup: 32-bit Wine could not be installed; the i686 suites will be skipped" >&2
        if [ -n "$added" ]; then
            dpkg --remove-architecture i386 || true
            apt-get update -qq || true
        fi
    fi
fi
exit 0
