#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
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
        # A gzip file stays gzip: compare the decompressed texts.
        diff -u --label "before/$file (decompressed)" --label "$file (decompressed)" \
            <(gzip -dc "before/$file") <(gzip -dc "$file") || true
        gzip -t "$file" && echo "($file is still gzip data: gzip -t passes)"
    else
        diff -u --label "before/$file" --label "$file" "before/$file" "$file" || true
    fi
done

# The same files from fresh copies: a directory part, a recursive walk and a pipe.
rm -f -- *.jnt *.jnt.gz
mkdir -p models tree/site/east
cp -p before/hall_b.jnt models/HALL_B.JNT
cp -p before/* tree/site/ && cp -p before/hall_b.jnt tree/site/east/
echo
echo "\$ joint2si -f kN -m kNm 'models/*.jnt'    (a pattern in a subdirectory)"
"$program" -f kN -m kNm 'models/*.jnt' && grep -m 2 _force models/HALL_B.JNT
echo
echo "\$ joint2si -f kN -m kNm --recursive 'tree/*.jnt*'    (and every directory below)"
set +e
"$program" -f kN -m kNm --recursive 'tree/*.jnt*'
status=$?
set -e
echo "exit status: $status"
find tree -type f | sort
echo
echo "\$ gzip -dc before/bridge.jnt.gz | joint2si -f kN -m kNm -    (a pipe)"
gzip -dc before/bridge.jnt.gz | "$program" -f kN -m kNm -
