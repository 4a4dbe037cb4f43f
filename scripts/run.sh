#!/usr/bin/env bash
# Builds everything and starts the desktop program (under Xvfb when there is no display).
# Arguments go to the program.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh" "$top/build"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    exec xvfb-run -a "$top/build/app/tavro" "$@"
fi
exec "$top/build/app/tavro" "$@"
