#!/usr/bin/env bash
# Converts a generated joint attribute file of about 100 MB (plain and gzip)
# with the release build and reports the time taken and the peak memory.
# Usage: bench/convert_large.sh [size-in-MB]
set -euo pipefail
cd "$(dirname "$0")/.."

size_mb=${1:-100}
program="$PWD/build/release/converter/joint2si"
if [[ ! -x $program ]]; then
    cmake --preset release >/dev/null
    cmake --build --preset release --target joint2si
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/joint2si-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Joints of eight lines each: comments, names, forces, moments, a blank line.
awk -v bytes=$((size_mb * 1000000)) 'BEGIN {
    srand(7)
    while (total < bytes) {
        j++
        block = sprintf("// joint %d of the frame model\njoint J%d\nname J%d  # grid %d\n" \
                        "axial_force %.3f kN\nshear_force %.3f\nshear_force_z %.3f\n" \
                        "bending_moment %.4f /* about y */\n\n",
                        j, j, j, j % 97, rand() * 4000 - 2000, rand() * 300 - 150,
                        rand() * 80 - 40, rand() * 900 - 450)
        printf "%s", block
        total += length(block)
    }
}' >"$work/model.jnt"
gzip -1 -c "$work/model.jnt" >"$work/model.jnt.gz"

text_bytes=$(stat -c %s "$work/model.jnt")

# Converts one file; the throughput counts the uncompressed text.
run() {
    local file=$1
    /usr/bin/time -f "%e %M" -o "$work/time.txt" "$program" -f kN -m kNm "$file"
    read -r seconds peak_kib <"$work/time.txt"
    local bytes=$text_bytes
    printf '%-14s %8.1f MB  %6.2f s  %6.1f MB/s  peak memory %6.2f MiB\n' "$file" \
        "$(echo "$bytes / 1000000" | bc -l)" "$seconds" \
        "$(echo "$bytes / 1000000 / $seconds" | bc -l)" "$(echo "$peak_kib / 1024" | bc -l)"
}

cd "$work"
run model.jnt
run model.jnt.gz
