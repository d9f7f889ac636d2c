#!/usr/bin/env bash
# Builds joint2si and converts a scratch copy of the sample files in examples/,
# showing each file before and after. The originals are never touched.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/ensure-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target joint2si
program="$PWD/build/release/converter/joint2si"

scratch=$(mktemp -d "${TMPDIR:-/tmp}/joint2si-demo.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
cp -p examples/* "$scratch"/ 2>/dev/null || true
cd "$scratch"
mkdir before && cp -p -- * before/ 2>/dev/null || true

echo "\$ joint2si -f kN -m kNm *.jnt *.jnt.gz   (in a scratch copy of examples/)"
set +e
"$program" -f kN -m kNm '*.jnt' '*.jnt.gz'
status=$?
set -e
echo "exit status: $status"

for file in *.jnt *.jnt.gz; do
    [[ -f $file ]] || continue
    echo
    echo "=== $file: before -> after"
    if [[ $file == *.gz ]]; then
        diff -u --label "before/$file (decompressed)" --label "$file" <(gzip -dc "before/$file") "$file" || true
    else
        diff -u --label "before/$file" --label "$file" "before/$file" "$file" || true
    fi
done
