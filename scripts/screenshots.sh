#!/usr/bin/env bash
# Retakes the pictures of the manager's four windows under Xvfb with the openbox window manager,
# frames included, and writes them to docs/screenshots/: main_window.png,
# connection_settings.png, log_window.png, about_box.png.
#
#     scripts/screenshots.sh [build folder] [LANG=<code>]
#
# The build folder defaults to build/default (configured with the default preset when missing).
# The windows are the real ones in local mode, with the gateway on a free port and one client
# connected, so that the log window shows real lines. Without openbox (scripts/deps.sh installs
# it) the pictures show the client areas alone.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/default}
shift || true

if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake --preset default
fi
cmake --build "$build" --target vr620-screenshots VR620Manager_FIN VR620Manager_ENG \
    VR620Manager_SWE VR620VersionInfo -j 2
mkdir -p docs/screenshots

take=("$PWD/$build/Manager/vr620-screenshots" "$PWD/docs/screenshots" "$@")
if ! command -v openbox >/dev/null; then
    echo "screenshots.sh: openbox is missing; the pictures show no window frames" >&2
    exec xvfb-run -a -s "-screen 0 1024x768x24" timeout 120 "${take[@]}"
fi

# openbox runs the program once it manages the screen, and ends when the program has ended.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
{
    echo '#!/usr/bin/env bash'
    printf 'timeout 120'
    printf ' %q' "${take[@]}"
    printf '\necho $? >%q\nopenbox --exit\n' "$work/status"
} >"$work/inside.sh"
chmod +x "$work/inside.sh"
xvfb-run -a -s "-screen 0 1024x768x24" timeout 180 openbox --startup "$work/inside.sh"
exit "$(cat "$work/status" 2>/dev/null || echo 1)"
