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

# Wine creates a missing prefix at its first start, and goes on creating it in the
# background after the starting program has returned: a test started meanwhile
# fails at random. So the prefix is made first, and its making waited for (every
# Wine process of it ended and the server with them).
mkdir -p "$WINEPREFIX"
# A server an earlier run left (stopped before its end) would never end, and the wait
# below would wait for ever.
"$wineserver" --kill 2>/dev/null || true
"$wine" wineboot --init </dev/null >build/windows/wineboot.log 2>&1
"$wineserver" --wait

# Then one Wine server for the whole run, started before any test, so that Wine's
# background services, which it launches, never inherit the output pipes of a test
# (CTest would wait for them).
"$wineserver" --persistent
trap 'WINEPREFIX="$WINEPREFIX" "$wineserver" --kill || true' EXIT
"$wine" wineboot </dev/null >>build/windows/wineboot.log 2>&1

# Wine now and then fails to start a test program at all (no output, a failure within
# milliseconds) while its server starts many processes; the tests that failed are run
# once more, and the stage fails when any of them fails again.
if ! ctest --preset windows; then
    echo "==> The tests that failed, run once more under Wine"
    ctest --preset windows --rerun-failed
fi
