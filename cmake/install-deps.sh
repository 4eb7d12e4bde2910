#!/bin/sh
# Installs what the build and the tests need on Debian 12, when something is missing.
set -eu
need=""
have() { [ -e "$1" ] || command -v "$1" >/dev/null 2>&1; }
want() { have "$1" || need="$need $2"; }
want cmake cmake
want clang++-14 clang-14
want /usr/lib/llvm-14/lib/clang/14.0.6/lib/linux/libclang_rt.fuzzer-x86_64.a libclang-rt-14-dev
want /usr/src/googletest/CMakeLists.txt googletest
want i686-w64-mingw32-g++-posix g++-mingw-w64-i686-posix
want x86_64-w64-mingw32-g++-posix g++-mingw-w64-x86-64-posix
want i686-w64-mingw32-windres binutils-mingw-w64-i686
want x86_64-w64-mingw32-windres binutils-mingw-w64-x86-64
want /usr/i686-w64-mingw32/include/windows.h mingw-w64-i686-dev
want /usr/x86_64-w64-mingw32/include/windows.h mingw-w64-x86-64-dev
want /usr/lib/wine/wine64 wine64
# Wine's 32-bit side, which runs the product itself.
want /usr/lib/wine/wine wine32:i386
want /usr/share/wine/fonts/ms_sans_serif.ttf fonts-wine
want Xvfb xvfb
want xauth xauth
want xvfb-run xvfb
want /usr/include/ini.h libinih-dev
# import, not convert: some machines have a convert of their own that is no ImageMagick.
want import imagemagick
want pkg-config pkg-config
[ -n "$need" ] || exit 0
echo "Installing:$need"
export DEBIAN_FRONTEND=noninteractive
case $need in
*:i386*) dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386 ;;
esac
apt-get update -q >/dev/null
# shellcheck disable=SC2086
apt-get install -y -q --no-install-recommends $need >/dev/null
