#!/usr/bin/env bash
# Installs what is missing, builds Tessaly and tessaly-batch and starts the
# window. The programs are build/release/window/tessaly and
# build/release/batch/tessaly-batch.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
cmake -S "$top" -B "$top/build/release" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DBUILD_TESTING=OFF -DTESSALY_BENCH=OFF
cmake --build "$top/build/release" --target tessaly tessaly-batch
echo "Built $top/build/release/window/tessaly and $top/build/release/batch/tessaly-batch"
exec "$top/build/release/window/tessaly"
