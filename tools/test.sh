#!/usr/bin/env bash
# Installs what is missing, builds Hostvane and runs every test: the full suite (unit, widget,
# network, end-to-end under Xvfb), the core again under AddressSanitizer+UBSan and under
# ThreadSanitizer, the fuzz targets for a bounded time, and the Debian package.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh test

jobs=$(nproc)
stage() { printf '\n==== %s\n' "$*"; }
failed=()

stage "format (.clang-format)"
tools/format.sh --check || failed+=("format")

stage "build and test (all tests)"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHOSTVANE_TESTS=ON >/dev/null
cmake --build build -j"$jobs"
# The end-to-end tests share the machine with the build and each other's X servers: a test
# that fails is run once more before the stage fails (ctest prints both runs).
ctest --test-dir build --output-on-failure -j"$jobs" --repeat until-pass:2 || failed+=("full suite")

# Tests of what permissions forbid (a read-only folder, an unreadable file) skip as root, and
# CI runs as root: run them once more as an unprivileged user, where they must not skip.
if [ "$(id -u)" -eq 0 ]; then
    stage "permission tests as an unprivileged user"
    guarded_home=$(mktemp -d)
    chown nobody "$guarded_home"
    as_user() {
        local out rc=0
        out=$(setpriv --reuid=nobody --regid=nogroup --clear-groups --inh-caps=-all \
            env HOME="$guarded_home" XDG_RUNTIME_DIR="$guarded_home" TMPDIR="$guarded_home" \
            QT_QPA_PLATFORM=offscreen "$@" 2>&1) || rc=$?
        printf '%s\n' "$out" | grep -E '^\[ +(OK|FAILED|SKIPPED) +\]' || true
        [ $rc -eq 0 ] && ! grep -q '^\[  SKIPPED \]' <<<"$out"
    }
    as_user build/tests/test_platform \
        --gtest_filter='IniFile.ReadOnlyFolderAndUnreadableFile:AutostartEntry.UnwritableFolderFailsToSet:AtomicFile.*:SettingsLocationTest.*' \
        || failed+=("permission tests (platform)")
    as_user build/tests/test_gui \
        --gtest_filter='Log.FailedReplaceLeavesTheOldFile:Log.ReadOnlyProgramFolderStartsTheSaveDialogInDocuments' \
        || failed+=("permission tests (log)")
    rm -rf "$guarded_home"
fi

stage "AddressSanitizer + UBSan (core)"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DHOSTVANE_GUI=OFF \
    -DHOSTVANE_SANITIZE=address,undefined >/dev/null
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-asan --output-on-failure -j"$jobs" -L sanitize || failed+=("asan")

stage "ThreadSanitizer (core)"
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DHOSTVANE_GUI=OFF \
    -DHOSTVANE_SANITIZE=thread >/dev/null
cmake --build build-tsan -j"$jobs"
tsan_opts="halt_on_error=1:second_deadlock_stack=1"
[ -f tests/tsan.supp ] && tsan_opts="$tsan_opts:suppressions=$PWD/tests/tsan.supp"
TSAN_OPTIONS="$tsan_opts" ctest --test-dir build-tsan --output-on-failure -j"$jobs" -L sanitize \
    || failed+=("tsan")

if [ -f fuzz/CMakeLists.txt ]; then
    stage "fuzz targets (bounded)"
    cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
        -DHOSTVANE_GUI=OFF -DHOSTVANE_TESTS=OFF -DHOSTVANE_FUZZ=ON >/dev/null
    cmake --build build-fuzz -j"$jobs"
    # Every target there is, whoever added it, each for a bounded time (FUZZ_SECONDS, 20).
    for f in build-fuzz/fuzz/fuzz_*; do
        [ -f "$f" ] && [ -x "$f" ] || continue
        name=$(basename "$f")
        corpus=$(mktemp -d)
        [ -d "fuzz/corpus/$name" ] && cp -r "fuzz/corpus/$name/." "$corpus/"
        echo "-- $name"
        log=$(mktemp)
        if ! timeout $(( ${FUZZ_SECONDS:-20} + 60 )) "$f" -max_total_time="${FUZZ_SECONDS:-20}" \
            -timeout=25 -print_final_stats=1 -artifact_prefix="$corpus/" "$corpus" >"$log" 2>&1; then
            failed+=("$name")
            grep -aE 'ERROR|SUMMARY|^Base64|read back' "$log" | head -n 20 || true
            cp "$corpus"/crash-* "$corpus"/timeout-* fuzz/ 2>/dev/null || true
        fi
        grep -aE '^Done|average_exec_per_sec' "$log" || true
        rm -f "$log"
        rm -rf "$corpus"
    done
fi

# The Debian package as a user gets it: built with lintian's check, then installed, used by a
# new unprivileged user and purged (the install test needs root and skips otherwise).
stage "Debian package"
if tools/package.sh; then
    bash tests/package/install-test.sh build-deb/hostvane_*.deb || failed+=("package install")
else
    failed+=("package")
fi

if [ ${#failed[@]} -ne 0 ]; then
    printf '\nFAILED: %s\n' "${failed[*]}"
    exit 1
fi
printf '\nAll test stages passed.\n'
