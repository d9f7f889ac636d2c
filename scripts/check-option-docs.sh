#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Checks that every place a user reads the options from lists exactly the options
# of the program's own table (kOptions in converter/app/command_line.cpp): the
# option table of README.md, the OPTIONS section of the manual page, the usage
# text that `joint2si --help` prints, and the words the bash completion offers.
# A new option therefore fails this check until each of them names it.
#
# Usage: check-option-docs.sh <joint2si program>
# Prints what each place lacks or has in excess, and fails if anything differs.
set -euo pipefail
program=$1
cd "$(dirname "$0")/.."

# One option name per line, sorted: "--backup[=CONTROL]", "--suffix=SUFFIX" and
# "-f force_unit" all count as the bare name.
names() {
    sed -E 's/[[ =].*$//' | grep -E '^-.' | sort -u
}

table_options() {
    grep -oE '^\s*\{"-[^"]*", Value::' converter/app/command_line.cpp | sed -E 's/^\s*\{"([^"]*)".*/\1/' | names
}

# The first cell of each row of the table under "## Options and exit status".
readme_options() {
    awk '/^## / { on = ($0 == "## Options and exit status") } on && /^\| `/' README.md |
        cut -d'|' -f2 | grep -oE '`[^`]+`' | tr -d '`' | names
}

# The tags of the paragraphs (.TP) of OPTIONS, dashes unescaped; the nested
# paragraphs of --backup's controls name no dash.
manual_options() {
    awk '/^\.SH / { on = ($0 == ".SH OPTIONS") } on && tag { print } { tag = on && /^\.TP/ }' \
        docs/joint2si.1 | sed -E 's/\\-/-/g; s/^\.[A-Z]+ //' | tr ' ' '\n' | names
}

# The option column of the usage text: a tab and two blanks, then the option. The
# file argument "-" (standard input) is no option.
help_options() {
    "$program" --help | grep -oE $'^\t  -[^ ]*' | sed -E 's/^\s+//' | grep -vx -- '-' | names
}

# What the completion offers for a word that is only a dash. It never offers "--",
# the end of the options: after it every word completes to a file name.
completion_options() {
    bash -c 'source completion/joint2si; compopt() { :; }
        COMP_WORDS=(joint2si -); COMP_CWORD=1; _joint2si; printf "%s\n" "${COMPREPLY[@]}"' |
        names
}

expected=$(table_options)
[[ -n $expected ]] || { echo "no options found in the program's table"; exit 1; }
status=0
compare() { # <place> <options> [option the place leaves out by design]
    local missing extra
    missing=$(comm -23 <(grep -vxF -- "${3:-}" <<<"$expected" || true) <(echo "$2"))
    extra=$(comm -13 <(echo "$expected") <(echo "$2"))
    if [[ -n $missing || -n $extra ]]; then
        echo "$1:" ${missing:+"lacks" $missing} ${extra:+"names unknown" $extra}
        status=1
    fi
}
compare README.md "$(readme_options)"
compare docs/joint2si.1 "$(manual_options)"
compare "joint2si --help" "$(help_options)"
compare completion/joint2si "$(completion_options)" --
[[ $status -eq 0 ]] && echo "README, manual page, --help and completion list the $(wc -l <<<"$expected") options of the table"
exit $status
