#!/usr/bin/env bash
# Installs what is missing, builds, and starts Obu Linekeeper.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target obu obu-line
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    echo "No display found: running Obu Linekeeper headless (Ctrl+C ends it)."
    exec build/bin/obu --headless "$@"
fi
exec build/bin/obu "$@"
