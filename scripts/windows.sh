#!/usr/bin/env bash
# The core for Windows: installs what is missing (mingw-w64 with posix threads, Wine, wixl and
# msitools), cross-builds the windows preset (DUCTA.dll, vr620-gatewayd.exe, vr620.exe and the
# Windows units) and its packages (build/windows/vr620-<version>-x64.msi and .zip), runs the
# units under Wine and checks DUCTA.dll's export table, then runs the Windows programs under Wine
# against the Linux simulator and the Linux client, the manager's launcher starting a Windows
# client through Wine, and the installer: install, the service, an upgrade, the stop and the
# removal (tests/wine, from the Linux build). Wine gets a fresh prefix of its own in
# build/windows/wine, never the user's; the installer's test makes another one of its own.
#
#     ./scripts/windows.sh
set -euo pipefail
cd "$(dirname "$0")/.."
start=$SECONDS
./scripts/deps.sh windows

jobs=$(nproc)
export WINEPREFIX="$PWD/build/windows/wine"
export WINEDEBUG=-all
# Wine must not try to install Mono or Gecko, or open a window, in a fresh prefix.
export WINEDLLOVERRIDES="mscoree,mshtml="
export DISPLAY=

# Before the build: finding the tests of a unit program runs it under Wine.
echo "=== windows: a fresh Wine prefix"
rm -rf "$WINEPREFIX"
mkdir -p "$(dirname "$WINEPREFIX")"
wineboot -i >/dev/null 2>&1
wineserver -w
# One Wine server for the whole run: a server ends by itself a few seconds after its last
# program, and a program that starts just then finds it gone ("recvmsg: Connection reset by
# peer"). Its own output (at the end it lists every object it still holds) goes to a file.
wineserver -p 2>"$PWD/build/windows/wineserver.log"
# The installer's test makes its prefix here afresh, with a server of its own, which it ends
# (and, should the test itself end early, the trap).
installer_prefix="$PWD/build/windows/wine-installer"
trap 'wineserver -k 2>/dev/null || true
      WINEPREFIX="$installer_prefix" wineserver -k 2>/dev/null || true' EXIT
# Wine's own services then live as long as the server: started here, they hold no test's output
# open (ctest would wait for its end).
wineboot </dev/null >/dev/null 2>&1

echo "=== windows: build, and the packages"
cmake --preset windows
cmake --build --preset windows -j "$jobs"
# The installer and the zip; and the next version's installer, for the test of an upgrade.
cmake --build --preset windows -j "$jobs" --target msi zip msi_upgrade_test
version() { sed -n "s/^CMAKE_PROJECT_VERSION_$1:STATIC=//p" build/windows/CMakeCache.txt; }
package="$PWD/build/windows/vr620-$(version MAJOR).$(version MINOR).$(version PATCH)-x64.msi"
upgrade="$PWD/build/windows/packaging/windows/upgrade/vr620-$(version MAJOR).$(version MINOR)"
upgrade+=".$(($(version PATCH) + 1))-x64.msi"
ls -l "$package" "${package%.msi}.zip"

echo "=== windows: units under Wine, and DUCTA.dll's export table"
ctest --preset windows -j "$jobs"

echo "=== windows: the programs under Wine, against the Linux simulator and client"
cmake --preset default >/dev/null
cmake --build --preset default -j "$jobs" --target wine_gateway_test vr620-sim vr620 \
    wine_launcher_test vr620-gatewayd wine_installer_test
VR620_WINDOWS_OUT="$PWD/build/windows/out" build/default/tests/wine/wine_gateway_test
# The manager's launcher starts a tiny Windows client (tests/windows) through Wine.
VR620_WINDOWS_OUT="$PWD/build/windows/out" QT_QPA_PLATFORM=offscreen \
    build/default/tests/wine/wine_launcher_test

echo "=== windows: the installer under Wine, in a prefix of its own"
VR620_WINDOWS_PACKAGE="$package" VR620_WINDOWS_UPGRADE="$upgrade" \
    VR620_WINE_INSTALLER_PREFIX="$installer_prefix" build/default/tests/wine/wine_installer_test

echo "=== windows: passed in $((SECONDS - start)) s"
