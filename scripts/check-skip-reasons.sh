#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Checks that every test that can skip says why: each GTEST_SKIP() under tests/ is
# followed by "<<" and a message (on its line or the next). Prints each one that is
# not, and fails if there is one.
set -euo pipefail
cd "$(dirname "$0")/../tests"
status=0
while IFS= read -r file; do
    awk -v file="$file" '
        pending { if ($0 !~ /^[ \t]*<</) { print file ":" line ": GTEST_SKIP() without a reason"; bad = 1 } pending = 0 }
        /GTEST_SKIP\(\)/ { if ($0 !~ /GTEST_SKIP\(\)[ \t]*<</) { pending = 1; line = NR } }
        END { if (pending) { print file ":" line ": GTEST_SKIP() without a reason"; bad = 1 } exit bad }
    ' "$file" || status=1
done < <(grep -rl 'GTEST_SKIP' --include='*.cpp' --include='*.h' .)
exit $status
