#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds joint2si and libtools with every test and runs them all.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/ensure-deps.sh
cmake --preset release
cmake --build --preset release -j "$(nproc)"
ctest --preset release
