#!/usr/bin/env bash
# Builds everything and runs every test: the g++ tree (warnings are errors; benchmarks in
# smoke size) and the clang tree with AddressSanitizer and UndefinedBehaviorSanitizer
# (core and command-line tests, fuzz targets replaying their seeds). Exits non-zero when anything fails.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
"$top/scripts/install-deps.sh"

echo "== g++ tree"
CXX=g++ "$top/scripts/build.sh" "$top/build" -DTAVRO_WERROR=ON
(cd "$top/build" && ctest --output-on-failure --no-tests=error -j "$jobs")

echo "== clang tree with sanitizers"
CXX=clang++ "$top/scripts/build.sh" "$top/build-asan" -DTAVRO_WERROR=ON -DTAVRO_SANITIZE=ON \
    -DTAVRO_CORE_ONLY=ON -DTAVRO_FUZZ=ON -DCMAKE_BUILD_TYPE=Debug
(cd "$top/build-asan" && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --output-on-failure --no-tests=error -j "$jobs")
