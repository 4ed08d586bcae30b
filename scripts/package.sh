#!/usr/bin/env bash
# Installs what is missing, makes a release build in a folder of its own and
# the Debian package from it; the last line printed is the package's path.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
. "$here/scripts/deps.sh"
install_deps

build="${VESKO_PACKAGE_BUILD_DIR:-$here/build-package}"
# Debian's hardening flags, as its own packages get them; CMake reads no
# CPPFLAGS. Only the program is built: the package holds nothing else.
cd "$here"
CXXFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)" \
  cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target vesko vesko_changelog

out="$build/deb"
rm -rf "$out"
cpack --config "$build/CPackConfig.cmake" -B "$out" >/dev/null
ls "$out"/*.deb
