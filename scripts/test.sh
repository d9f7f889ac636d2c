#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds joint2si and libtools with every test and runs them all.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/ensure-deps.sh
cmake --preset release
cmake --build --preset release -j "$(nproc)"
status=0
ctest --preset release || status=$?
# CTest names skipped tests without their reasons; the log has them.
reasons=$(scripts/skip-reasons.sh build/release)
[[ -z $reasons ]] || printf 'Skipped, with their reasons:\n%s\n' "$reasons"
exit $status
