#!/usr/bin/env bash
# Installs what is missing, builds the tool and starts it from build/bin.
#
# The program, its settings file KorvoIPSetup.ini and its connection log
# folder log/ live together in build/bin. Where no settings file lies there
# yet, one is written that switches on the simulated devices (DebugUdpFlg=1),
# so a first run shows devices without any network. Set DebugUdpFlg=0 in
# build/bin/KorvoIPSetup.ini to talk to real devices (only on the
# installation network: the tool broadcasts on UDP port 52380).
#
# Without a display ($DISPLAY empty) the tool runs on a virtual X server
# (Xvfb); a screenshot is saved after start-up and the tool is then closed.
#
# BUILD_DIR chooses another build folder than build/.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}

bash scripts/install-deps.sh
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" --target KorvoIPSetup -j"$(nproc 2>/dev/null || echo 2)"

bin_dir=$build/bin
program=$bin_dir/KorvoIPSetup
ini=$bin_dir/KorvoIPSetup.ini

if [ ! -f "$ini" ]; then
    printf '[DebugUdp]\r\nDebugUdpFlg=1\r\n' > "$ini"
    echo "run.sh: wrote $ini with DebugUdpFlg=1: the tool shows simulated devices."
    echo "run.sh: for real devices set DebugUdpFlg=0 there (only on the installation network)."
fi

if [ -n "${DISPLAY:-}" ]; then
    echo "run.sh: starting $program"
    exec "$program"
fi

# No display: run under Xvfb, take a screenshot after start-up, then close
# the tool (SIGTERM is a close request, as the window's close button).
shot_dir=$PWD/$build/screenshots
mkdir -p "$shot_dir"
shot=$shot_dir/run.png
rm -f "$shot"
echo "run.sh: no display; running the tool under Xvfb"

inner=$(mktemp)
trap 'rm -f "$inner"' EXIT
cat > "$inner" <<'INNER'
#!/usr/bin/env bash
set -u
program=$1
shot=$2
"$program" &
pid=$!
# Wait for the main window (its title begins with the tool's name).
for _ in $(seq 1 100); do
    if xwininfo -root -tree 2>/dev/null | grep -q '("KorvoIPSetup" "KorvoIPSetup")'; then
        break
    fi
    if ! kill -0 "$pid" 2>/dev/null; then
        echo "run.sh: the tool ended during start-up (another instance running?)" >&2
        wait "$pid"
        exit 1
    fi
    sleep 0.1
done
# Let the start-up inquiry (1 s) and its replies settle.
sleep 2
import -window root "$shot"
kill -TERM "$pid"
wait "$pid"
INNER

status=0
xvfb-run -a -s "-screen 0 1280x800x24" bash "$inner" "$PWD/$program" "$shot" || status=$?
if [ -f "$shot" ]; then
    echo "run.sh: screenshot saved to $shot"
fi
echo "run.sh: the tool ended with status $status"
exit "$status"
