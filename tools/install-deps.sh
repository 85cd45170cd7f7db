#!/usr/bin/env bash
# Installs the Debian 12 packages that are missing for "run" (build and start) or "test"
# (build and run every test). Asks apt only when something is missing.
set -euo pipefail

run_pkgs=(cmake ninja-build g++ qt6-base-dev libxcb1-dev libchm-dev fp-utils libsqlite3-dev)
test_pkgs=("${run_pkgs[@]}" libgtest-dev libgmock-dev xvfb xauth trayer xdotool x11-utils
           dbus-x11 dbus-daemon at-spi2-core python3-pyatspi imagemagick iproute2 util-linux mount
           clang libclang-rt-14-dev clang-format openbox tint2 libcap2-bin sqlite3)

# The package build and its checks (dpkg-shlibdeps, lintian, the desktop entry and metainfo
# validators, setcap for the installed copy's test).
package_pkgs=(dpkg-dev lintian desktop-file-utils appstream libcap2-bin man-db)

case "${1:-run}" in
    run) want=("${run_pkgs[@]}") ;;
    test) want=("${test_pkgs[@]}") ;;
    bench) want=("${run_pkgs[@]}" fping python3) ;;
    package) want=("${run_pkgs[@]}" "${package_pkgs[@]}") ;;
    *) echo "usage: $0 run|test|bench|package" >&2; exit 2 ;;
esac

missing=()
for p in "${want[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${missing[@]}"
