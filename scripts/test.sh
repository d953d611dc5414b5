#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: the whole
# program (core, window and end-to-end tests), then the core tests again under
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
"$top/scripts/install-deps.sh"
# ccache, where installed, makes rebuilds cheap; nothing needs it.
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    # Without these ccache does not cache files built with a precompiled header.
    export CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
fi

# The benchmarks are not tests and took a fifth of the build. Unity files
# halve the product code's build.
cmake -S "$top" -B "$top/build/test" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSALY_WERROR=ON \
    -DTESSALY_BENCH=OFF -DCMAKE_UNITY_BUILD=ON "${launcher[@]}"
cmake --build "$top/build/test" -j "$jobs"
# The X server tests start real servers; one that dies under a busy machine
# gets a second try.
ctest --test-dir "$top/build/test" --output-on-failure -j "$jobs" --repeat until-pass:2

cmake -S "$top" -B "$top/build/asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DTESSALY_CORE_ONLY=ON -DTESSALY_SANITIZE=ON -DTESSALY_WERROR=ON -DCMAKE_UNITY_BUILD=ON \
    "${launcher[@]}"
cmake --build "$top/build/asan" -j "$jobs"
ctest --test-dir "$top/build/asan" --output-on-failure -j "$jobs"
