#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# CTest lists a skipped test as "(Skipped)" without its reason. This prints each test
# the last run of a build skipped, with the reason its skip message gives, from the
# run's log: "Name: reason".
#
# Usage: skip-reasons.sh <build directory>
set -euo pipefail
log=$1/Testing/Temporary/LastTest.log
[[ -f $log ]] || exit 0
awk '
    / Skipped$/ && /:[0-9]+: Skipped$/ { reason = ""; collecting = 1; next }
    collecting && /^\[  SKIPPED \] / {
        name = $4
        printf "%s: %s\n", name, reason == "" ? "(no reason given)" : reason
        collecting = 0
        next
    }
    collecting { reason = reason == "" ? $0 : reason " " $0 }
' "$log"
