#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs the test suite in a build with gcov instrumentation and prints line and branch
# coverage per source directory with gcovr. Fails when a test fails, or when the lines
# of libtools/ or converter/ are covered below the floor (default 90%).
#
# Usage: scripts/coverage.sh [floor-percent] [preset]
#   preset: coverage (the default: gcc with gcov alone), or sanitize-coverage (the same
#   counts taken from the run under AddressSanitizer and UndefinedBehaviorSanitizer,
#   which continuous integration makes once for both)
set -euo pipefail
cd "$(dirname "$0")/.."
floor=${1:-90}
preset=${2:-coverage}
case $preset in
coverage | sanitize-coverage) ;;
*) echo "usage: $0 [floor-percent] [coverage|sanitize-coverage]" >&2 && exit 2 ;;
esac
build=build/$preset

bash scripts/ensure-deps.sh gcovr python3
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j "$(nproc)"
find "$build" -name '*.gcda' -delete
# Some tests run the program as an unprivileged user; its counts must be writable too,
# so the count files are created with every write bit (umask 0) in a writable tree.
chmod -R a+rwX "$build"
(umask 0 && ctest --preset "$preset")

# gcov runs inside each object tree: with ccache's base directory the recorded source
# paths are relative to the directory each object was compiled in.
root=$PWD
for tree in libtools converter; do
    (cd "$build/$tree" && gcovr --root "$root" \
        --filter "$root/libtools/" --filter "$root/converter/" \
        --exclude-throw-branches --exclude-unreachable-branches --gcov-ignore-parse-errors \
        --json-summary "$root/$build/summary-$tree.json" . >/dev/null)
done

python3 - "$build/summary-libtools.json" "$build/summary-converter.json" "$floor" <<'PYTHON'
import collections, json, sys

floor = float(sys.argv[3])
files = json.load(open(sys.argv[1]))["files"] + json.load(open(sys.argv[2]))["files"]
totals = collections.defaultdict(lambda: [0, 0, 0, 0])

def add(key, entry):
    t = totals[key]
    t[0] += entry["line_covered"]; t[1] += entry["line_total"]
    t[2] += entry["branch_covered"]; t[3] += entry["branch_total"]

for entry in files:
    path = entry["filename"]
    add(path.rsplit("/", 1)[0], entry)   # its directory
    add(path.split("/", 1)[0] + "/ (all)", entry)  # its top-level tree

def percent(covered, total):
    return 100.0 * covered / total if total else 100.0

print(f"{'directory':32} {'lines':>17} {'branches':>17}")
for key in sorted(totals):
    lc, lt, bc, bt = totals[key]
    print(f"{key:32} {lc:6}/{lt:<6} {percent(lc, lt):5.1f}% {bc:6}/{bt:<6} {percent(bc, bt):5.1f}%")

failed = [key for key in ("libtools/ (all)", "converter/ (all)")
          if percent(totals[key][0], totals[key][1]) < floor]
for key in failed:
    print(f"Line coverage of {key.split()[0]} is below {floor:.0f}%")
sys.exit(1 if failed else 0)
PYTHON
