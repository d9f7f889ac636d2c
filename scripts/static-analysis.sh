#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Static analysis: clang-tidy with the checked-in .clang-tidy over the product code
# (libtools/, converter/) and the fuzz targets, and cppcheck's warning, performance
# and portability checks over the product code. Both must be clean: any finding
# fails the script. Suppressions are written where they apply, each with its reason
# (NOLINT comments in the code, the disabled checks in .clang-tidy).
#
# Usage: scripts/static-analysis.sh
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/ensure-deps.sh clang clang-tidy cppcheck libclang-rt-14-dev
# Compile commands only (nothing is built): the product code as clang sees it, and
# the fuzz targets from their own preset.
cmake -S . -B build/analysis -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DJOINT2SI_BUILD_TESTS=OFF -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
cmake --preset fuzz >/dev/null

product=$(git ls-files 'libtools/*.cpp' 'converter/*.cpp' | grep -v '/win32_')
fuzz=$(git ls-files 'fuzz/*.cpp')

echo "==> clang-tidy"
status=0
# shellcheck disable=SC2086
printf '%s\n' $product | xargs -P "$(nproc)" -n 4 clang-tidy -p build/analysis --quiet || status=1
# shellcheck disable=SC2086
printf '%s\n' $fuzz | xargs -P "$(nproc)" -n 4 clang-tidy -p build/fuzz --quiet || status=1

echo "==> cppcheck"
# The style group is left out: it asks for C++ casts in the C-style interface's
# macros and for standard algorithms in place of plain loops.
cppcheck --project=build/analysis/compile_commands.json --std=c++17 -j "$(nproc)" -q \
    --enable=warning,performance,portability --inline-suppr --error-exitcode=1 \
    -i build || status=1

if ((status != 0)); then
    echo "Static analysis found problems (see above)"
fi
exit "$status"
