#!/usr/bin/env bash
# Builds the Windows side and runs its host-level tests under Wine:
# the module checks, the test program, and morven-grab.exe on an H.264 clip and on
# an ASF file whose "Connect" message box it must answer by itself.
# The module ships as 32-bit and is built and checked as such. Where this machine's
# kernel cannot start 32-bit programs, the same sources are built for 64-bit Windows
# too and the tests run under Wine's 64-bit loader; the run says which it did.
# The test media is made natively first, by windows_make_media of the Linux
# build, and reached from Wine through drive Z:.
# Usage: scripts/test-windows.sh [BUILD_DIR]
#   BUILD_DIR: the Windows build (default build-windows; the 64-bit one is BUILD_DIR64).
#   MORVEN_LINUX_BUILD_DIR: the Linux build that makes the media (default build).
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build_dir="${1:-build-windows}"
case "$build_dir" in /*) ;; *) build_dir="$root/$build_dir" ;; esac
linux_build="${MORVEN_LINUX_BUILD_DIR:-build}"
case "$linux_build" in /*) ;; *) linux_build="$root/$linux_build" ;; esac

fail() {
    echo "test-windows: $*" >&2
    exit 1
}

start=$(date +%s)

# FFmpeg and the Linux build's packages, then the mingw toolchain, Wine and the
# 32-bit module, which ships and is built in every case.
"$root/scripts/setup.sh" || fail "installing the Linux build's packages failed"
"$root/scripts/build-windows.sh" "$build_dir" -DMORVEN_WINDOWS_HOSTS=OFF || fail "the Windows module's build failed"

# Wine runs the 32-bit programs as 32-bit processes; a kernel built without
# 32-bit support cannot start one. Then the 32-bit module gets its static check
# and the programs and tests are built for 64-bit and run there.
wine=wine
if ! wine_version="$(wine --version 2>&1)"; then
    case "$wine_version" in
    *"Exec format error"*)
        "$root/scripts/check-windows-module.sh" "$build_dir/bin/MORVEN.ocx" || fail "the module check failed"
        echo "test-windows: this kernel cannot run 32-bit programs ($wine_version):" \
            "the 32-bit module is built and checked; the tests run on the 64-bit build under Wine 64-bit" >&2
        build_dir="${build_dir}64"
        export MORVEN_WINDOWS_ARCH=x64
        wine=/usr/lib/wine/wine64
        [ -x "$wine" ] || wine="$(command -v wine64)" || fail "Wine's 64-bit loader was not found"
        ;;
    *) fail "wine does not start: $wine_version" ;;
    esac
fi
"$root/scripts/build-windows.sh" "$build_dir" -DMORVEN_WINDOWS_HOSTS=ON || fail "the Windows build failed"
for program in MORVEN.ocx windows_tests.exe api_tests.exe morven-grab.exe; do
    [ -f "$build_dir/bin/$program" ] || fail "$build_dir/bin/$program was not built"
done

cmake -S "$root" -B "$linux_build" >/dev/null || fail "configuring the Linux build in $linux_build failed"
cmake --build "$linux_build" -j"$(nproc)" --target windows_make_media >/dev/null ||
    fail "building windows_make_media in $linux_build failed"
export WINE="$wine"

media="$build_dir/windows-media"
rm -rf "$media"
"$linux_build/bin/windows_make_media" "$media" >/dev/null || fail "making the test media in $media failed"

# A fresh prefix for every run. No audio driver (there is no sound card) and
# no Mono or Gecko installer dialog when the prefix is made.
export WINEPREFIX="$build_dir/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="winealsa.drv,winepulse.drv,mscoree,mshtml="
export MORVEN_TEST_MEDIA="$media"
export MORVEN_ROOT="$root" MORVEN_BUILD="$build_dir" MORVEN_LINUX_BUILD="$linux_build"
rm -rf "$WINEPREFIX"
mkdir -p "$build_dir/windows-output"
rm -f "$build_dir/windows-output/"*

# Every Wine command of the prefix runs under one display.
set +e
xvfb-run -a sh -c '
    failed=""
    "$WINE" wineboot -i >/dev/null 2>&1
    if [ "$WINE" = wine ]; then
        "$MORVEN_ROOT/scripts/check-windows-module.sh" "$MORVEN_BUILD/bin/MORVEN.ocx" || failed="$failed module-check"
    fi

    # The platform API conformance tests, the same source as the Linux suite'"'"'s.
    echo "test-windows: api_tests.exe"
    timeout 300 "$WINE" "$MORVEN_BUILD/bin/api_tests.exe" || failed="$failed api_tests"

    echo "test-windows: windows_tests.exe"
    timeout 300 "$WINE" "$MORVEN_BUILD/bin/windows_tests.exe" --gtest_filter="-CodePage936.*" \
        || failed="$failed windows_tests"
    # The library'"'"'s help strings are code page 936 text: read them once more
    # where that is the ANSI code page.
    echo "test-windows: windows_tests.exe, ANSI code page 936"
    LC_ALL=zh_CN.UTF-8 timeout 300 "$WINE" "$MORVEN_BUILD/bin/windows_tests.exe" \
        --gtest_filter="TypeLibrary.*:Registration.*:CodePage936.*" || failed="$failed windows_tests(936)"

    # PNG and JPEG go through WIC, BMP through our own writer; each run also dumps the
    # buffer it wrote from.
    echo "test-windows: morven-grab.exe"
    out="$MORVEN_BUILD/windows-output"
    clip="$MORVEN_TEST_MEDIA/h264-66x50-1.mp4"
    if timeout 60 "$WINE" regsvr32 /s "$MORVEN_BUILD/bin/MORVEN.ocx"; then
        for image in frame.png frame.jpg frame.bmp; do
            timeout 120 "$WINE" "$MORVEN_BUILD/bin/morven-grab.exe" "$clip" -o "$out/$image" --raw "$out/$image.bgr" ||
                failed="$failed morven-grab($image)"
        done
        # An ASF file Wine cannot connect: the component shows its "Connect" box, which
        # morven-grab.exe answers by itself, the box on standard error, then exits 3.
        # Without that it would wait on the box for ever (timeout answers 124).
        wmv="$MORVEN_TEST_MEDIA/wmv2-64x48.wmv"
        timeout 120 "$WINE" "$MORVEN_BUILD/bin/morven-grab.exe" "$wmv" -o "$out/wmv.png" 2>"$out/wmv.err"
        status=$?
        if [ "$status" -ne 3 ] || ! grep -q "\[5\] Connect" "$out/wmv.err" || [ -e "$out/wmv.png" ]; then
            echo "test-windows: morven-grab.exe $wmv: exit $status, 3 expected and the Connect box answered:"
            cat "$out/wmv.err"
            failed="$failed morven-grab(wmv)"
        fi
        timeout 60 "$WINE" regsvr32 /s /u "$MORVEN_BUILD/bin/MORVEN.ocx" || failed="$failed regsvr32/u"
    else
        failed="$failed regsvr32"
    fi
    check_image() {
        "$MORVEN_LINUX_BUILD/bin/windows_make_media" "$@" || failed="$failed morven-grab-image($1 ${2##*/})"
    }
    # The picture Wine decoded against FFmpeg'"'"'s own (Wine converts colours its own way).
    check_image --compare "$out/frame.png" "$clip.bgr" 66 50 6
    # Each file against the buffer it was written from: PNG and BMP exactly, JPEG within
    # its loss (Wine'"'"'s encoder keeps quality 75 whatever ImageQuality asks: about 8 here,
    # where a flip or swapped channels give over 50).
    check_image --compare-raw "$out/frame.png" "$out/frame.png.bgr" 66 50 0
    check_image --compare-raw "$out/frame.bmp" "$out/frame.bmp.bgr" 66 50 0
    check_image --compare-raw "$out/frame.jpg" "$out/frame.jpg.bgr" 66 50 10
    check_image --compressed-png "$out/frame.png"

    wineserver -k >/dev/null 2>&1
    if [ -n "$failed" ]; then
        echo "test-windows: failed:$failed" >&2
        exit 1
    fi
' 2>&1 | grep --line-buffered -v '^ALSA lib '
status=${PIPESTATUS[0]}
set -e

elapsed=$(( $(date +%s) - start ))
if [ "$status" -ne 0 ]; then
    fail "FAILED after ${elapsed}s (see above)"
fi
echo "test-windows: all passed in ${elapsed}s"
