#!/usr/bin/env bash
# Retakes the pictures of the manager's four windows under Xvfb with the openbox window manager,
# frames included, and writes them to docs/screenshots/: main_window.png,
# connection_settings.png, log_window.png, about_box.png.
#
#     scripts/screenshots.sh [build folder] [LANG=<code>]
#
# The build folder defaults to build/default (configured with the default preset when missing).
# The windows are the real ones in local mode, with the gateway on a free port and one client
# connected, so that the log window shows real lines: the client reads a point from the simulated
# controller, whose adapter is then pulled out, so that the log window's status line shows the
# port lost and the last error. Without openbox (scripts/deps.sh installs it) the pictures show
# the client areas alone.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/default}
shift || true

if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake --preset default
fi
cmake --build "$build" --target vr620-screenshots VR620Manager_FIN VR620Manager_ENG \
    VR620Manager_SWE VR620VersionInfo vr620-sim -j 2
mkdir -p docs/screenshots
work=$(mktemp -d -t vr620.XXXXXX)
trap 'rm -rf "$work"' EXIT

# The program's libducta.so is a copy of the build's with a DUCTA.INI of its own beside it, which
# maps COM1 to the simulator's link, named as a USB serial adapter is; the build's out/ stays
# untouched.
mkdir "$work/ducta"
cp "$build/out/libducta.so" "$work/ducta/"
printf '[Ports]\r\nCOM1=%s\r\n' "$work/ttyUSB0" >"$work/ducta/DUCTA.INI"
export LD_LIBRARY_PATH="$work/ducta${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"

take=("$PWD/$build/Manager/vr620-screenshots" "$PWD/docs/screenshots" "$@")
if ! command -v openbox >/dev/null; then
    echo "screenshots.sh: openbox is missing; the pictures show no window frames" >&2
    xvfb-run -a -s "-screen 0 1024x768x24" timeout 120 "${take[@]}"
    exit
fi

# openbox runs the program once it manages the screen, and ends when the program has ended.
{
    echo '#!/usr/bin/env bash'
    printf 'timeout 120'
    printf ' %q' "${take[@]}"
    printf '\necho $? >%q\nopenbox --exit\n' "$work/status"
} >"$work/inside.sh"
chmod +x "$work/inside.sh"
xvfb-run -a -s "-screen 0 1024x768x24" timeout 180 openbox --startup "$work/inside.sh"
exit "$(cat "$work/status" 2>/dev/null || echo 1)"
