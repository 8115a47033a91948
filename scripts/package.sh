#!/usr/bin/env bash
# Builds the Debian package of everything that is installed, build/package/vr620_<version>_amd64.deb:
# a fresh release build with Debian's hardening flags in which every warning is an error, then
# CPack. Prints the package's path last.
#
#     ./scripts/package.sh
#     sudo apt install ./build/package/vr620_*_amd64.deb
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh package

# Debian's compiler and linker flags with all hardening (stack protector, fortified calls, full
# RELRO, immediate binding); CMake reads no CPPFLAGS, so the preprocessor's go in front.
eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
export CFLAGS="$CPPFLAGS $CFLAGS" CXXFLAGS="$CPPFLAGS $CXXFLAGS"
cmake --preset package --fresh >/dev/null
cmake --build --preset package -j "$(nproc)"
rm -f build/package/vr620_*.deb
cpack --preset package >/dev/null
ls build/package/vr620_*.deb
