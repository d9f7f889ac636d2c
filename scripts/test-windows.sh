#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Cross-builds joint2si and libtools for 64-bit Windows with mingw-w64 and runs
# every test under Wine (the `windows` presets).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/ensure-deps.sh g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine64 googletest

wine=/usr/lib/wine/wine64
[[ -x $wine ]] || wine=$(command -v wine64)
wineserver=$(dirname "$wine")/wineserver
[[ -x $wineserver ]] || wineserver=$(command -v wineserver)

# The same Wine settings as the `windows` test preset: a quiet Wine with its own
# prefix in the build tree, never the one in $HOME.
export WINEPREFIX="$PWD/build/windows/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

cmake --preset windows
cmake --build --preset windows -j "$(nproc)"

# One Wine server for the whole run, started before any test: the first start
# creates the prefix (slow) and launches Wine's background services, which must
# not inherit the output pipes of a test, or CTest would wait for them.
mkdir -p "$WINEPREFIX"
"$wineserver" --persistent
trap 'WINEPREFIX="$WINEPREFIX" "$wineserver" --kill || true' EXIT
"$wine" wineboot --init </dev/null >build/windows/wineboot.log 2>&1

ctest --preset windows
