#!/usr/bin/env bash
# Builds everything and starts the desktop program (under Xvfb when there is no display).
# Arguments go to the program. With "--demo DIR" first, the program runs on the demo home in
# DIR, which tavro-cli writes when DIR is missing or empty.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
if [ "${1:-}" = "--demo" ]; then
    if [ -z "${2:-}" ]; then
        echo "usage: $0 --demo DIR [program arguments]" >&2
        exit 2
    fi
    demo=$2
    shift 2
fi
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh" "$top/build"
if [ -n "${demo:-}" ]; then
    if [ ! -d "$demo" ] || [ -z "$(ls -A "$demo")" ]; then
        "$top/build/cli/tavro-cli" demo "$demo"
    fi
    TAVRO_HOME=$(cd "$demo" && pwd)
    export TAVRO_HOME
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    exec xvfb-run -a "$top/build/app/tavro" "$@"
fi
exec "$top/build/app/tavro" "$@"
