#!/usr/bin/env bash
# Installs what is missing, builds Hostvane and starts it on its shipped host list.
# Without a display it runs one check pass in the terminal instead (hostvane --once).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh run
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHOSTVANE_TESTS=OFF >/dev/null
cmake --build build --target hostvane
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec build/hostvane "$@"
else
    echo "No display: checking the hosts once instead (build/hostvane --once)."
    exec build/hostvane --once
fi
