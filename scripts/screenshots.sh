#!/usr/bin/env bash
# Retakes the pictures of the manager's four windows under Xvfb and writes them to
# docs/screenshots/: main_window.png, connection_settings.png, log_window.png, about_box.png.
#
#     scripts/screenshots.sh [build folder] [LANG=<code>]
#
# The build folder defaults to build/default (configured with the default preset when missing).
# The windows are the real ones in local mode, with the gateway on a free port and one client
# connected, so that the log window shows real lines.
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
xvfb-run -a -s "-screen 0 1024x768x24" \
    timeout 120 "$build/out/vr620-screenshots" docs/screenshots "$@"
