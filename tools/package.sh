#!/usr/bin/env bash
# Builds the Debian package build-deb/hostvane_<version>_<arch>.deb and checks it with lintian.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh package

# Debian's hardening flags, as a package built by dpkg-buildpackage would get them.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
export CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
export LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
cmake -S . -B build-deb -DCMAKE_CXX_FLAGS="$CXXFLAGS" -DCMAKE_EXE_LINKER_FLAGS="$LDFLAGS" -DCMAKE_MODULE_LINKER_FLAGS="$LDFLAGS" -G Ninja -DCMAKE_BUILD_TYPE=Release -DHOSTVANE_TESTS=OFF >/dev/null
cmake --build build-deb -j"$(nproc)"
(cd build-deb && cpack -G DEB >/dev/null)
deb=$(ls build-deb/hostvane_*.deb)
echo "Built $deb"
# Errors fail the build; the warnings left are explained in docs/packaging.md.
lintian --fail-on error --info "$deb"
