#!/usr/bin/env bash
# Installs what is missing, builds the tool and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc 2>/dev/null || echo 2)"
if [ ! -x build/mainwindow/KorvoIPSetup ]; then
    echo "The core library and its tests are built. The main window comes with a later change;"
    echo "until then there is no program to start."
    exit 0
fi
exec build/mainwindow/KorvoIPSetup
