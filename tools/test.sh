#!/usr/bin/env bash
# Installs what is missing, builds Hostvane and runs every test: the full suite (unit, widget,
# network, end-to-end under Xvfb), the core again under AddressSanitizer+UBSan and under
# ThreadSanitizer, the fuzz targets for a bounded time, and the Debian package.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh test
tools/install-deps.sh package

jobs=$(nproc)
start_time=$(date +%s)
# Each stage says when it began (minutes into the run), so a slow one shows.
stage() { printf '\n==== %s (at %d min)\n' "$*" $(( ($(date +%s) - start_time) / 60 )); }
failed=()

stage "format (.clang-format)"
tools/format.sh --check || failed+=("format")

stage "build and test (all tests)"
# With the package's hardening flags: the package stage packages this very build.
. tools/hardening-flags.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHOSTVANE_TESTS=ON \
    "${HARDENING_CMAKE_ARGS[@]}" >/dev/null
cmake --build build -j"$jobs"
ctest_log=build/Testing/Temporary/LastTest.log
# Unit, widget and network tests run once: one failure fails the stage. Passed tests keep their
# whole output in the log, which the unprivileged stage reads for the tests that skipped.
ctest --test-dir build --output-on-failure -j"$jobs" -LE e2e --test-output-size-passed 1000000 \
    || failed+=("full suite")
skip_log=$(mktemp)
cp "$ctest_log" "$skip_log"

# The end-to-end tests share the machine with other builds and each other's X servers: the
# ones that failed run once more, and each that passed only then is named at the end of the
# stage, so that a flaky test shows. Failing twice fails the stage.
second_run=()
rm -f build/Testing/Temporary/LastTestsFailed.log
if ! ctest --test-dir build --output-on-failure -j"$jobs" -L e2e; then
    if [ -s build/Testing/Temporary/LastTestsFailed.log ]; then
        echo "-- running the failed end-to-end tests once more"
        ctest --test-dir build --output-on-failure --rerun-failed || failed+=("end-to-end")
        # Each test's block in the log starts "N/M Test: NAME"; the output between "Output:"
        # and "<end of output>" is the test's own and may say anything.
        mapfile -t second_run < <(awk '
            /^[0-9]+\/[0-9]+ Test: / { name = $0; sub(/^[0-9]+\/[0-9]+ Test: /, "", name) }
            /^Output:$/ { out = 1; next }
            /^<end of output>$/ { out = 0; next }
            !out && /^Test Passed\.$/ { print name }' "$ctest_log")
    else
        failed+=("end-to-end")
    fi
fi
echo
echo "Passed only on the second run:"
if [ ${#second_run[@]} -eq 0 ]; then echo "  none"; else printf '  %s\n' "${second_run[@]}"; fi

# Tests of what permissions forbid (a read-only folder, an unreadable file) skip as root, and
# CI runs as root: every test that skipped in the run above runs once more as an unprivileged
# user, in its own binary, where it must pass without skipping.
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
    # "BINARY<tab>TEST" for each test that reported "[  SKIPPED ] TEST (N ms)"; the binary is
    # the first word of the ctest block's command.
    skipped=$(awk '
        /^Command: "/ { bin = $2; gsub(/"/, "", bin) }
        /^\[  SKIPPED \] [^ ]+ \([0-9]+ ms\)$/ { print bin "\t" $4 }' "$skip_log" | sort -u)
    if [ -z "$skipped" ]; then
        echo "no test skipped"
    fi
    for bin in $(cut -f1 <<<"$skipped" | sort -u); do
        tests=$(awk -F'\t' -v b="$bin" '$1 == b { print $2 }' <<<"$skipped")
        count=$(wc -l <<<"$tests")
        echo "-- $(basename "$bin"): $count"
        # Every named test must have run: a test that is gone would otherwise pass unseen.
        if ! out=$(as_user "$bin" --gtest_filter="$(paste -sd: <<<"$tests")") ||
            [ "$(grep -c '^\[       OK \]' <<<"$out")" -ne "$count" ]; then
            failed+=("permission tests ($(basename "$bin"))")
        fi
        printf '%s\n' "$out"
    done
    rm -rf "$guarded_home"
fi
rm -f "$skip_log"

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
    # Every target there is, whoever added it, each for a bounded time (FUZZ_SECONDS, 20), as
    # many at once as there are cores: each fuzzer runs on one.
    fuzz_one() {
        local f=$1 name corpus artifacts log rc=0
        name=$(basename "$f")
        corpus=$(mktemp -d)
        [ -d "fuzz/corpus/$name" ] && cp -r "fuzz/corpus/$name/." "$corpus/"
        # Findings (crash-*, timeout-*) stay in the build folder, never in the source tree.
        artifacts="$PWD/build-fuzz/artifacts/$name"
        rm -rf "$artifacts"
        mkdir -p "$artifacts"
        log=$(mktemp)
        timeout $(( ${FUZZ_SECONDS:-20} + 60 )) "$f" -max_total_time="${FUZZ_SECONDS:-20}" \
            -timeout=25 -print_final_stats=1 -artifact_prefix="$artifacts/" "$corpus" >"$log" 2>&1 \
            || rc=$?
        # One block per target, written at once so that parallel runs do not interleave.
        local block
        block=$(
            echo "-- $name"
            if [ $rc -ne 0 ]; then
                echo "FUZZ FAILED: $name"
                grep -aE 'ERROR|SUMMARY|^Base64|read back' "$log" | head -n 20 || true
                echo "findings of $name: $artifacts/"
                ls -1 "$artifacts" || true
            fi
            grep -aE '^Done|average_exec_per_sec' "$log" || true
        )
        printf '%s\n' "$block"
        rm -f "$log"
        rm -rf "$corpus"
        return $rc
    }
    export -f fuzz_one
    fuzz_out=$(mktemp)
    find build-fuzz/fuzz -maxdepth 1 -name 'fuzz_*' -type f -perm -u+x -print0 | sort -z \
        | xargs -0 -r -n1 -P"$jobs" bash -c 'fuzz_one "$1"' _ >"$fuzz_out" 2>&1 || true
    cat "$fuzz_out"
    while read -r name; do failed+=("$name"); done \
        < <(sed -n 's/^FUZZ FAILED: //p' "$fuzz_out")
    rm -f "$fuzz_out"
fi

# The Debian package as a user gets it: built with lintian's check, then installed, used by a
# new unprivileged user and purged (the install test needs root and skips otherwise).
stage "Debian package"
if tools/package.sh build; then
    bash tests/package/install-test.sh build/hostvane_*.deb || failed+=("package install")
else
    failed+=("package")
fi

if [ ${#failed[@]} -ne 0 ]; then
    printf '\nFAILED: %s\n' "${failed[*]}"
    exit 1
fi
printf '\nAll test stages passed.\n'
