#!/usr/bin/env bash
# Screenshots of the main window with simulated devices, in English and in
# Chinese, saved as build/screenshots/mainwindow-en.png and
# mainwindow-cn.png (not committed).
#
# Each language runs in a temporary copy of the program folder with its own
# settings file (Language=en or cn, DebugUdpFlg=1), on a virtual X server
# (Xvfb); the tool is closed with SIGTERM (a close request) afterwards.
#
# BUILD_DIR chooses another build folder than build/.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}

bash scripts/install-deps.sh
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target KorvoIPSetup -j"$(nproc 2>/dev/null || echo 2)"

shot_dir=$PWD/$build/screenshots
mkdir -p "$shot_dir"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cat > "$work/capture.sh" <<'INNER'
#!/usr/bin/env bash
# Runs the program, saves a picture of its main window, closes it.
set -u
program=$1
shot=$2
"$program" &
pid=$!
window=""
for _ in $(seq 1 100); do
    # The main window is the program's 1024-pixel-wide top-level window.
    window=$(xwininfo -root -tree 2>/dev/null |
        awk '/\("KorvoIPSetup" "KorvoIPSetup"\)/ && / 1024x/ {print $1; exit}')
    [ -n "$window" ] && break
    if ! kill -0 "$pid" 2>/dev/null; then
        echo "screenshots.sh: the tool ended during start-up (another instance running?)" >&2
        wait "$pid"
        exit 1
    fi
    sleep 0.1
done
if [ -z "$window" ]; then
    echo "screenshots.sh: no main window appeared" >&2
    kill -TERM "$pid"
    wait "$pid"
    exit 1
fi
# Let the start-up inquiry (1 s) and its replies settle.
sleep 2
import -window "$window" "$shot"
kill -TERM "$pid"
wait "$pid"
INNER

status=0
for language in en cn; do
    folder=$work/$language
    mkdir -p "$folder"
    cp "$build/bin/KorvoIPSetup" "$folder/"
    printf '[Language]\r\nLanguage=%s\r\n[DebugUdp]\r\nDebugUdpFlg=1\r\n' "$language" > "$folder/KorvoIPSetup.ini"
    shot=$shot_dir/mainwindow-$language.png
    rm -f "$shot"
    if xvfb-run -a -s "-screen 0 1280x800x24" bash "$work/capture.sh" "$folder/KorvoIPSetup" "$shot" &&
        [ -f "$shot" ]; then
        echo "screenshots.sh: $shot"
    else
        echo "screenshots.sh: no screenshot for Language=$language" >&2
        status=1
    fi
done
exit "$status"
