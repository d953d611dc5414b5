#!/usr/bin/env bash
# Installs what is missing, builds Tessaly and starts it.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
cmake -S "$top" -B "$top/build/release" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DBUILD_TESTING=OFF -DTESSALY_BENCH=OFF
cmake --build "$top/build/release" --target tessaly
exec "$top/build/release/window/tessaly"
