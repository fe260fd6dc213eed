#!/usr/bin/env bash
# Installs what is missing, builds Corvane with its tests and runs them all.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh test
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVANE_BENCH=ON >/dev/null
cmake --build build
ctest --test-dir build --output-on-failure -j2
