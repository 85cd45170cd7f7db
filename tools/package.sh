#!/usr/bin/env bash
# Builds the Debian package build-deb/hostvane_<version>_<arch>.deb and checks it with lintian.
# tools/package.sh BUILD_DIR packages a build folder configured with tools/hardening-flags.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh package

. tools/hardening-flags.sh
# With a build folder, the program already built there with these flags is packaged (CI
# packages the build it tested); without one, a release build of its own in build-deb.
dir=${1:-}
if [ -z "$dir" ]; then
    dir=build-deb
    cmake -S . -B "$dir" "${HARDENING_CMAKE_ARGS[@]}" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DHOSTVANE_TESTS=OFF >/dev/null
fi
cmake --build "$dir" -j"$(nproc)"
rm -f "$dir"/hostvane_*.deb
(cd "$dir" && cpack -G DEB >/dev/null)
deb=$(ls "$dir"/hostvane_*.deb)
echo "Built $deb"
# Errors fail the build; the warnings left are explained in docs/packaging.md.
lintian --fail-on error --info "$deb"
