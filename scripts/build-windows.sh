#!/usr/bin/env bash
# Cross-builds the Windows side (MORVEN.ocx and, when present, the Windows host
# programs) with the i686 mingw-w64 toolchain. Installs the Debian packages it
# needs when they are missing (as root).
# Usage: scripts/build-windows.sh [BUILD_DIR [CMAKE_OPTION...]]
#   BUILD_DIR (relative to the current folder) defaults to build-windows in the
#   repository; e.g. -DMORVEN_WINDOWS_HOSTS=OFF builds
#   the module alone.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build_dir="${1:-$root/build-windows}"
shift || true

# The cross toolchain and widl; Wine with its i386 decoders and a virtual
# display to run the results; python3 for scripts/check-windows-module.sh.
packages=(
    cmake make python3
    g++-mingw-w64-i686 mingw-w64-tools
    wine wine32:i386
    gstreamer1.0-plugins-base:i386 gstreamer1.0-plugins-good:i386 gstreamer1.0-libav:i386
    xvfb xauth
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "build-windows: installing ${missing[*]}"
    if [ "$(id -u)" -ne 0 ]; then
        echo "build-windows: these Debian packages are missing and installing them needs root: ${missing[*]}" >&2
        exit 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386
    fi
    apt-get update -q
    apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

config=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/i686-w64-mingw32.cmake")
if [ "${CI:-}" = "true" ]; then
    config+=(-DMORVEN_WERROR=ON)
fi

cmake -S "$root" -B "$build_dir" "${config[@]}" "$@"
cmake --build "$build_dir" -j"$(nproc)"
echo "build-windows: $build_dir/bin/MORVEN.ocx"
