#!/usr/bin/env bash
# Installs what is missing, builds Tessaly for release in build/package and
# makes the Debian package build/package/tessaly_VERSION_ARCH.deb with CPack:
# both programs, man pages, AppStream data, bash completion, desktop entry,
# icon and MIME type.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$top/build/package
"$top/scripts/install-deps.sh"
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    export CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
fi

# Debian's own compiler and linker flags (hardening, reproducible paths), as a
# Debian build sets them; CMake reads them at the first configure. Release
# sets the optimisation, and the package is stripped.
cd "$top"
export DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CFLAGS_MAINT_STRIP="-g -O2" DEB_CXXFLAGS_MAINT_STRIP="-g -O2"
CFLAGS="$(dpkg-buildflags --get CFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
LDFLAGS=$(dpkg-buildflags --get LDFLAGS)
export CFLAGS CXXFLAGS LDFLAGS
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
    -DTESSALY_BENCH=OFF "${launcher[@]}"
cmake --build "$build"
rm -f "$build"/tessaly_*.deb
(cd "$build" && cpack -G DEB)
deb=$(ls "$build"/tessaly_*.deb)
echo "Built $deb; install it with: sudo apt install $deb"
