#!/usr/bin/env bash
# Configures and builds one tree. Usage: build.sh DIR [cmake options...]
# The options reach every configure, so a tree made earlier takes up a changed option too.
set -euo pipefail
dir=$1; shift
top=$(cd "$(dirname "$0")/.." && pwd)
if [ ! -f "$dir/CMakeCache.txt" ]; then
    cmake -S "$top" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
else
    cmake -S "$top" -B "$dir" "$@"
fi
cmake --build "$dir"
