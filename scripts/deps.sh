#!/usr/bin/env bash
# Installs the Debian 12 packages that the build, the tests, the main job and the screenshots
# need (only the missing ones). qt6-translations-l10n gives Qt's own buttons the user's language;
# vr620-points needs Qt Charts (which needs Qt's OpenGL module) and Qt's translation tools, its
# picture xdotool and ImageMagick.
# With "fuzz": also clang and its libFuzzer and sanitizer runtimes, for scripts/fuzz.sh; with
# "package": what builds and checks the Debian package (scripts/package.sh); with "windows":
# mingw-w64 (posix threads), GoogleTest's sources, Wine, and wixl and msitools (msibuild) for
# the installer package, for scripts/windows.sh.
set -euo pipefail
pkgs=(build-essential cmake ninja-build pkg-config libgtest-dev libgmock-dev libbenchmark-dev
      qt6-base-dev qt6-translations-l10n xvfb xauth openbox
      qt6-charts-dev libqt6opengl6-dev qt6-tools-dev qt6-l10n-tools xdotool imagemagick)
# tshark reads the line captures back through the Wireshark plug-in in the tests.
pkgs+=(tshark)
# vr620-gatewayd tells systemd that it is ready, its status and its watchdog through libsystemd.
pkgs+=(libsystemd-dev)
# TLS between gateways and clients (OpenSSL 3); the tests compare fingerprints with openssl's.
pkgs+=(libssl-dev openssl)
case "${1:-}" in
    fuzz) pkgs+=(clang libclang-rt-14-dev) ;;
    package) pkgs+=(dpkg-dev lintian desktop-file-utils man-db) ;;
    windows) pkgs+=(g++-mingw-w64-x86-64-posix googletest wine wine64 wixl msitools) ;;
esac
# systemd-analyze checks the package's service unit.
if [ "${1:-}" = package ]; then pkgs+=(systemd); fi
missing=()
for p in "${pkgs[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO=sudo
    $SUDO apt-get update
    # tshark's package would ask whether users outside root may capture: no, and no question.
    echo "wireshark-common wireshark-common/install-setuid boolean false" |
        $SUDO debconf-set-selections
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
