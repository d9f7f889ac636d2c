#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the libFuzzer targets (fuzz preset: clang, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each from its checked-in seed corpus for a
# bounded time. Any finding (a failed model check, a sanitizer report, a leak, a
# timeout) fails the script; the input that caused it is kept under
# build/fuzz/findings/<target>/.
#
# Usage: scripts/fuzz.sh [seconds-per-target] [target ...]
#   FUZZ_JOBS=n runs n targets at a time (default 1).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-30}
shift || true
targets=("$@")
if ((${#targets[@]} == 0)); then
    targets=(line_reader convert_line strmatch number_text string_ops command_line pattern
             converter_run)
fi

bash scripts/ensure-deps.sh clang libclang-rt-14-dev
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"

root=$PWD
out=$root/build/fuzz/findings
mkdir -p "$out"
# Scratch files of the targets go to memory when the system offers it: disk writes
# of other processes would otherwise dominate the run.
if [[ -d /dev/shm && -w /dev/shm ]]; then
    export TMPDIR=/dev/shm
fi
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:symbolize=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

run_target() {
    local target=$1
    local work=$out/$target
    rm -rf "$work"
    mkdir -p "$work/corpus"
    # New inputs go to a scratch corpus; the checked-in seeds are only read.
    local status=0
    (cd "$work" && "$root/build/fuzz/fuzz/fuzz_$target" -max_total_time="$seconds" \
        -timeout=10 -rss_limit_mb=2048 -close_fd_mask=3 -print_final_stats=1 \
        -dict="$root/fuzz/dict/$target.dict" -artifact_prefix="$work/" \
        "$work/corpus" "$root/fuzz/corpus/$target" >"$work/log" 2>&1) || status=$?
    echo "$status" >"$work/status"
}

summary() {
    local target=$1 log=$out/$1/log
    local runs cov
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | tr -d 'cov: ')
    printf '%-14s %10s executions  %6s edges covered\n' "$target" "${runs:-?}" "${cov:-?}"
}

jobs_max=${FUZZ_JOBS:-1}
for target in "${targets[@]}"; do
    while (($(jobs -rp | wc -l) >= jobs_max)); do
        sleep 1
    done
    run_target "$target" &
done
wait

failed=()
for target in "${targets[@]}"; do
    summary "$target"
    if [[ $(cat "$out/$target/status") != 0 ]]; then
        failed+=("$target")
    fi
done
if ((${#failed[@]})); then
    for target in "${failed[@]}"; do
        echo "==> Finding in $target:"
        grep -E 'check failed|ERROR|SUMMARY|artifact' "$out/$target/log" | head -20
    done
    exit 1
fi
