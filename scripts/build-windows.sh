#!/usr/bin/env bash
# Cross-builds the Windows side (MORVEN.ocx and, when present, the Windows host
# programs) with the mingw-w64 toolchain: i686, the module as it ships, or x86_64
# with MORVEN_WINDOWS_ARCH=x64 (the same sources, for Wine's 64-bit loader on a
# machine that cannot run 32-bit programs). Installs the Debian packages it needs
# when they are missing (as root).
# Usage: [MORVEN_WINDOWS_ARCH=x86|x64] scripts/build-windows.sh [BUILD_DIR [CMAKE_OPTION...]]
#   BUILD_DIR (relative to the current folder) defaults to build-windows in the
#   repository; e.g. -DMORVEN_WINDOWS_HOSTS=OFF builds
#   the module alone.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build_dir="${1:-$root/build-windows}"
shift || true

# The cross toolchain and widl; Wine with its decoders for the target and a virtual
# display to run the results; python3 for scripts/check-windows-module.sh.
case "${MORVEN_WINDOWS_ARCH:-x86}" in
x86) toolchain=i686-w64-mingw32 compiler=g++-mingw-w64-i686 wine_loader=wine32:i386 arch=i386 ;;
x64) toolchain=x86_64-w64-mingw32 compiler=g++-mingw-w64-x86-64 wine_loader=wine64 arch=amd64 ;;
*) echo "build-windows: MORVEN_WINDOWS_ARCH is x86 or x64, not ${MORVEN_WINDOWS_ARCH}" >&2; exit 1 ;;
esac
packages=(
    cmake make python3
    "$compiler" mingw-w64-tools
    wine "$wine_loader"
    gstreamer1.0-plugins-base:$arch gstreamer1.0-plugins-good:$arch gstreamer1.0-libav:$arch
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
    if [ "$arch" = i386 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386
    fi
    apt-get update -q
    apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

config=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain.cmake")
if [ "${CI:-}" = "true" ]; then
    config+=(-DMORVEN_WERROR=ON)
fi

cmake -S "$root" -B "$build_dir" "${config[@]}" "$@"
cmake --build "$build_dir" -j"$(nproc)"
echo "build-windows: $build_dir/bin/MORVEN.ocx"
