#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Checks that every source file of the repository names its licence in its first
# lines. Prints each file that does not, and fails if there is one.
set -euo pipefail
cd "$(dirname "$0")/.."

# The repository's files, or the tree's where it is not the top of a git checkout (a
# source package, also one unpacked inside another checkout's build directory).
source_files() {
    {
        if [[ $(git rev-parse --show-toplevel 2>/dev/null) == "$PWD" ]]; then
            git ls-files
        else
            find . -type f -not -path './.git/*' -printf '%P\n'
        fi
    } |
        grep -E '\.(cpp|h|c|sh|cmake|pl|awk)$|(^|/)CMakeLists\.txt$' |
        grep -vE '^(build|obj-[^/]*|debian/[^/]+/)/' || true
}

status=0
while IFS= read -r file; do
    if ! head -n 3 "$file" | grep -q 'SPDX-License-Identifier: MIT'; then
        echo "$file: no SPDX-License-Identifier in its first lines"
        status=1
    fi
done < <(source_files)
exit $status
