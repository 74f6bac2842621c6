#!/bin/bash
# Builds the libFuzzer targets of fuzz/ with clang in build-fuzz/ and runs
# each for a bounded time, starting from its seed corpus in fuzz/corpus/.
# Fails on a crash, a sanitizer report, a leak or a broken property; the input
# that broke it is kept in build-fuzz/artifacts/.
#
# usage: scripts/fuzz.sh [SECONDS-PER-TARGET]   (default 60)
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/deps.sh
. scripts/deps.sh
seconds=${1:-60}

# shellcheck disable=SC2086
prodlet_install_packages $PRODLET_FUZZ_PACKAGES
cmake -S fuzz -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build-fuzz -j2
mkdir -p build-fuzz/artifacts

export ASAN_OPTIONS="detect_leaks=1:${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
for target in hive ini_import; do
    # New inputs go to a scratch folder; the seeds in the repository stay as they are.
    work=$(mktemp -d "${TMPDIR:-/tmp}/prodlet-fuzz-$target-XXXXXX")
    echo "=== ${target}_fuzzer for ${seconds} s"
    status=0
    "build-fuzz/${target}_fuzzer" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -max_len=65536 \
        -print_final_stats=1 -artifact_prefix="build-fuzz/artifacts/${target}-" \
        "$work" "fuzz/corpus/$target" 2>"build-fuzz/${target}.log" || status=$?
    grep -E '^(stat::number_of_executed_units|stat::new_units_added|#[0-9]+ +DONE|Done [0-9]+ runs)' "build-fuzz/${target}.log" || true
    rm -rf "$work"
    if [ "$status" != 0 ]; then
        echo "FAIL - ${target}_fuzzer (exit $status); its log:"
        tail -n 60 "build-fuzz/${target}.log"
        exit 1
    fi
done
echo "fuzzing found nothing"
