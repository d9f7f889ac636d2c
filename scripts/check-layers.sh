#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Checks that the converter's folders include one way only:
#   app -> file -> {pipeline, sinks, diff} -> convert -> libtools
# with terminal (messages, progress) below app and file, above nothing but libtools.
# Prints each include that reaches a folder it may not, and fails if there is one.
set -euo pipefail
cd "$(dirname "$0")/../converter"

declare -A allowed=(
    [app]="app file terminal pipeline sinks diff convert"
    [file]="file terminal pipeline sinks diff convert"
    [pipeline]="pipeline convert"
    [sinks]="sinks convert"
    [diff]="diff convert"
    [convert]="convert"
    [terminal]="terminal"
)

status=0
for folder in "${!allowed[@]}"; do
    [ -d "$folder" ] || continue
    while IFS=: read -r file line include; do
        target=$(sed -E 's/.*#include "([a-z_]+)\/.*/\1/' <<<"$include")
        if [ -n "${allowed[$target]+x}" ] && ! grep -qw "$target" <<<"${allowed[$folder]}"; then
            echo "converter/$file:$line: $folder/ may not include $target/"
            status=1
        fi
    done < <(grep -rnE '#include "[a-z_]+/' "$folder" || true)
done
exit $status
