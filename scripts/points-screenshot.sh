#!/usr/bin/env bash
# Takes the picture of vr620-points for the README, docs/screenshots/points_window.png: under
# Xvfb with the openbox window manager (frame included), against vr620-gatewayd and the
# simulated controller, with two points watched while another client changes one of them, so
# that the trend shows its course; then the adapter is pulled out (the simulator's SIGUSR1), so
# that the watched points and the status bar say why their reads fail.
#
#     scripts/points-screenshot.sh [build folder] [LANG=<code>]
#
# The build folder defaults to build/default. Needs xdotool and ImageMagick's import (scripts/
# deps.sh installs them).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/default}
language=${2:-LANG=ENG}
if [ ! -f "$build/CMakeCache.txt" ]; then cmake --preset default; fi
cmake --build "$build" --target vr620-points vr620-gatewayd vr620-sim vr620 ducta -j 2
out="$(cd "$build" && pwd)/out"
mkdir -p docs/screenshots
target="$PWD/docs/screenshots/points_window.png"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for f in vr620-points vr620-gatewayd vr620 vr620-sim libducta.so; do cp "$out/$f" "$work/"; done
printf 'point,name,watch\n0001,Mode,0\n0002,Set value,1\n0010,Counter,1\n0020,Name,0\n0102,,0\n7777,Unknown,0\n' \
    >"$work/points.csv"
cat >"$work/inside.sh" <<INSIDE
#!/usr/bin/env bash
cd "$work"
pids=()
trap 'kill \${pids[@]} 2>/dev/null; openbox --exit' EXIT
./vr620-sim --link "$work/com1" >sim.out 2>&1 & sim=\$!; pids+=(\$sim)
for _ in \$(seq 100); do [ -e "$work/com1" ] && break; sleep 0.1; done
printf '[Ports]\r\nCOM1=%s\r\n' "$work/com1" >DUCTA.INI
port=\$((20000 + RANDOM % 40000))
./vr620-gatewayd --port \$port --bind 127.0.0.1 >gateway.log 2>&1 & pids+=(\$!)
for _ in \$(seq 100); do grep -q "Listening to port" gateway.log && break; sleep 0.1; done
./vr620 --port \$port write 0x0010 "00 05" >/dev/null
VR620_POINTS_FILE=points.csv ./vr620-points HOST=127.0.0.1 PORT=\$port $language & pids+=(\$!)
wid=""
for _ in \$(seq 100); do wid=\$(xdotool search --name "VR-620" | head -n1) && [ -n "\$wid" ] && break; sleep 0.1; done
xdotool windowmove "\$wid" 20 20 windowsize "\$wid" 900 600
# The counter climbs and falls while it is watched; its row is the current one for the trend.
xdotool windowactivate --sync "\$wid" mousemove --window "\$wid" 40 150 click 1 2>/dev/null || true
for i in 10 25 45 70 90 80 60 50 65 85 95 75; do
    ./vr620 --port \$port write 0x0010 "00 \$(printf %02X \$i)" >/dev/null
    sleep 1
done
kill -USR1 \$sim
for _ in \$(seq 100); do grep -q "lost" gateway.log && break; sleep 0.1; done
sleep 2
import -frame -window "\$wid" "$target"
echo 0 >"$work/status"
INSIDE
chmod +x "$work/inside.sh"
xvfb-run -a -s "-screen 0 1024x768x24" timeout 120 openbox --startup "$work/inside.sh"
[ "$(cat "$work/status" 2>/dev/null)" = 0 ] || { echo "points-screenshot: no picture" >&2; exit 1; }
echo "points-screenshot: $target"
