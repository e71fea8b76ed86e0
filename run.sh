#!/usr/bin/env bash
# Installs what is missing, builds, and starts Obu Linekeeper.
set -euo pipefail
cd "$(dirname "$0")"
case "${1:-}" in
-h | --help)
    cat <<'USAGE'
Usage: ./run.sh [OBU OPTION]...

Installs the Debian packages that are missing (through sudo when you are not
root), builds Obu Linekeeper in build/ and starts build/bin/obu with the
options given (see build/bin/obu --help once it is built). Without a display
it runs obu --headless.
USAGE
    exit 0
    ;;
esac
tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target obu
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    echo "No display found: running Obu Linekeeper headless (Ctrl+C ends it)."
    exec build/bin/obu --headless "$@"
fi
exec build/bin/obu "$@"
