#!/usr/bin/env bash
# Builds everything and starts the program. Arguments go to the program.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh" "$top/build"
if [ $# -eq 0 ]; then
    exec "$top/build/cli/tavro-cli" --help
fi
exec "$top/build/cli/tavro-cli" "$@"
