#!/usr/bin/env bash
# Builds the Debian package and checks it as CI does: its file list (every deliverable, the
# unit, the manual pages, the menu entry, nothing of the tests), lintian without errors, and the
# programs extracted into a temporary root: vr620-gatewayd --help, then a round of requests
# through the extracted gateway against the extracted simulator, vr620-points (offscreen) among
# the clients.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/package.sh >/dev/null
deb=$(ls build/package/vr620_*_amd64.deb)
echo "=== package: $deb"

fail() { echo "check-package: $*" >&2; exit 1; }

listing=$(dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|; s|/$||')
expected=(
    /opt/vr620/VR620Manager /opt/vr620/libducta.so /opt/vr620/VR620VersionInfo.so
    /opt/vr620/VR620Manager_FIN.so /opt/vr620/VR620Manager_ENG.so /opt/vr620/VR620Manager_SWE.so
    /opt/vr620/vr620 /opt/vr620/vr620-gatewayd /opt/vr620/vr620-sim /opt/vr620/DUCTA.INI
    /opt/vr620/vr620-points
    /etc/vr620/DUCTA.INI /etc/vr620/tls /lib/systemd/system/vr620-gatewayd.service
    /usr/bin/vr620 /usr/bin/vr620-gatewayd /usr/bin/vr620-sim
    /usr/share/man/man1/vr620.1.gz /usr/share/man/man1/vr620-gatewayd.1.gz
    /usr/share/man/man1/vr620-sim.1.gz /usr/share/applications/vr620-manager.desktop
    /usr/share/icons/hicolor/48x48/apps/vr620-manager.png /usr/share/doc/vr620/copyright
    /usr/lib/x86_64-linux-gnu/wireshark/plugins/vr620.lua
    /usr/bin/vr620-points /usr/share/man/man1/vr620-points.1.gz
    /usr/share/applications/vr620-points.desktop
)
for f in "${expected[@]}"; do
    grep -qxF "$f" <<<"$listing" || fail "$f is missing from the package"
done
# The program folder holds the deliverables and nothing else.
extra=$(grep '^/opt/vr620/.' <<<"$listing" | grep -vxF -f <(printf '%s\n' "${expected[@]}") || true)
[ -z "$extra" ] || fail "files in /opt/vr620 that are no deliverables: $extra"
if grep -E '_test|bench|screenshots|fuzz|paint-icons' <<<"$listing"; then
    fail "test programs in the package"
fi
dpkg-deb -f "$deb" Depends | grep -q libqt6widgets6 || fail "no dependencies computed"
dpkg-deb -f "$deb" Depends | grep -q libsystemd0 || fail "no dependency on libsystemd0 (sd_notify)"
dpkg-deb -f "$deb" Depends | grep -q libssl3 || fail "no dependency on libssl3 (TLS)"
dpkg-deb -f "$deb" Depends | grep -q adduser || fail "no dependency on adduser (the group vr620)"
# The TLS keys' folder goes to the group vr620 alone, and the service is in that group.
dpkg-deb --ctrl-tarfile "$deb" | tar -xO ./postinst |
    grep -q 'dpkg-statoverride --update --add root vr620 0750 /etc/vr620/tls' ||
    fail "postinst does not give /etc/vr620/tls to the group vr620"
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./lib/systemd/system/vr620-gatewayd.service |
    grep -qx 'SupplementaryGroups=dialout vr620' || fail "the service is not in the group vr620"
dpkg-deb -f "$deb" Description | grep -q dialout || fail "the description does not name dialout"
dpkg-deb --ctrl-tarfile "$deb" | tar -xO ./conffiles | grep -qx /etc/vr620/DUCTA.INI ||
    fail "/etc/vr620/DUCTA.INI is no configuration file"
echo "    file list: as expected"

echo "=== lintian"
lintian --fail-on error "$deb" || fail "lintian reports errors"

echo "=== the extracted programs"
root=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$root"
}
trap cleanup EXIT
dpkg-deb -x "$deb" "$root"
folder=$root/opt/vr620
# The Wireshark plug-in loads and names its protocols (where tshark is installed).
if command -v tshark >/dev/null; then
    tshark -G protocols -X "lua_script:$root/usr/lib/x86_64-linux-gnu/wireshark/plugins/vr620.lua" \
        2>/dev/null | grep -w vr620.line >/dev/null || fail "tshark does not load the packaged vr620.lua"
    echo "    the packaged Wireshark plug-in loads in tshark"
fi
# Whole outputs are read (no head, no grep -q) where a program writes much: a reader that stops
# early ends it with SIGPIPE, which pipefail makes a failure.
"$folder/vr620-gatewayd" --help | sed -n 1p
# The service unit as systemd reads it, its program taken from the extracted folder: a notify
# service with a watchdog, and nothing for systemd-analyze to say.
unit=$root/vr620-gatewayd.service
sed "s|/opt/vr620/|$folder/|g" "$root/lib/systemd/system/vr620-gatewayd.service" >"$unit"
grep -qx 'Type=notify' "$unit" && grep -q '^WatchdogSec=' "$unit" ||
    fail "the unit is no Type=notify service with a watchdog"
verified=$(systemd-analyze verify --man=no "$unit" 2>&1) || fail "systemd-analyze verify: $verified"
[ -z "$verified" ] || fail "systemd-analyze verify: $verified"
echo "    the service unit verifies: Type=notify with a watchdog"

"$folder/vr620-sim" --link "$root/tty-com1" >"$root/sim.out" 2>"$root/sim.err" &
pids+=($!)
for _ in $(seq 100); do [ -e "$root/tty-com1" ] && break; sleep 0.1; done
[ -e "$root/tty-com1" ] || fail "vr620-sim did not start: $(cat "$root/sim.err")"
# The folder's DUCTA.INI links to /etc; here the extracted folder gets a mapping of its own.
rm "$folder/DUCTA.INI"
printf '[Ports]\r\nCOM1=%s\r\n' "$root/tty-com1" >"$folder/DUCTA.INI"

started=""
for _ in $(seq 20); do
    port=$((20000 + RANDOM % 40000))
    "$folder/vr620-gatewayd" --port "$port" --bind 127.0.0.1 >"$root/gateway.log" 2>&1 &
    gateway=$!
    for _ in $(seq 50); do
        grep -q "Listening to port" "$root/gateway.log" && { started=$port; break; }
        kill -0 "$gateway" 2>/dev/null || break
        sleep 0.1
    done
    [ -n "$started" ] && break
    wait "$gateway" 2>/dev/null || true
done
[ -n "$started" ] || fail "the extracted vr620-gatewayd did not start: $(cat "$root/gateway.log")"
pids+=("$gateway")

# The data-point window, offscreen, reads its list through the gateway. It goes first: the log
# folds repeated lines, so its read is written in full only while no read came before it.
"$folder/vr620-points" --help | grep "HOST=" >/dev/null || fail "vr620-points --help"
printf 'point,name,watch\n0102,,0\n' >"$root/points.csv"
VR620_POINTS_FILE="$root/points.csv" QT_QPA_PLATFORM=offscreen \
    "$folder/vr620-points" HOST=127.0.0.1 "PORT=$port" LANG=ENG >"$root/points.out" 2>&1 &
points=$!
for _ in $(seq 300); do
    [ "$(grep -c "SNVT_READ command received" "$root/gateway.log")" -gt 0 ] && break
    sleep 0.1
done
kill "$points" 2>/dev/null || true
wait "$points" 2>/dev/null || true
[ "$(grep -c "SNVT_READ command received" "$root/gateway.log")" -gt 0 ] ||
    fail "vr620-points read nothing: $(cat "$root/points.out")"

client=("$folder/vr620" --port "$port" --timeout 10)
[ "$("${client[@]}" read 0x0102)" = "AA BB" ] || fail "read 0x0102"
"${client[@]}" write 0x0010 "56 78" >/dev/null || fail "write 0x0010"
[ "$("${client[@]}" read 0x0010)" = "56 78" ] || fail "read 0x0010 after the write"
kill -TERM "$gateway"
wait "$gateway" || fail "vr620-gatewayd did not end with 0 after SIGTERM"
pids=("${pids[@]:0:1}")
echo "    read, write, read back through the extracted gateway, vr620-points reads: OK;" \
    "SIGTERM ends it with 0"
echo "=== package checked: $deb"
