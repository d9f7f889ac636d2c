#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Checks what an installation and the packages deliver:
# 1. the Debian packages are built (scripts/package.sh deb, lintian clean of
#    errors) from the `package` preset, the build meant for installing;
# 2. that build installed into a temporary prefix: the consumer program in
#    tests/install/ built against it once through find_package (CMake) and once
#    through pkg-config (make), both run; the bash completion answers;
# 3. the packages unpacked with dpkg -x into a scratch root: the program converts
#    a scratch copy of an example from there, and the consumer builds against the
#    -dev package's files;
# 4. the Windows zip (scripts/package.sh zip); when the Windows tests have left a
#    Wine prefix, the zipped program converts a scratch copy under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
source=$PWD

scripts/ensure-deps.sh pkgconf
scratch=$(mktemp -d "${TMPDIR:-/tmp}/joint2si-install.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

fail() {
    echo "test-install: $*" >&2
    exit 1
}

# The consumer prints the file's lines without comments and then their count;
# both builds must give the same, and it must match what the file holds.
check_consumer_output() { # <consumer program> <label>
    local output
    output=$("$1" "$source/examples/hall_b.jnt") || fail "$2: the consumer failed"
    grep -qx 'axial_force -340.25 kN' <<<"$output" || fail "$2: a data line is missing"
    ! grep -qE '#|//|/\*' <<<"$output" || fail "$2: a comment was left in"
    [[ $(tail -n 1 <<<"$output") == "$(($(wc -l <<<"$output") - 1)) lines" ]] ||
        fail "$2: the line count is wrong"
    gzip -dc "$source/examples/bridge.jnt.gz" >"$scratch/bridge.jnt"
    [[ $("$1" "$source/examples/bridge.jnt.gz") == $("$1" "$scratch/bridge.jnt") ]] ||
        fail "$2: the gzip file reads differently from its plain text"
    printf '%s\n' "$output" >"$scratch/$2.out"
}

build_consumers() { # <prefix> <libdir> <label>
    local build="$scratch/consumer-$3"
    cmake -S tests/install -B "$build/cmake" -DCMAKE_PREFIX_PATH="$1" >/dev/null
    cmake --build "$build/cmake" >/dev/null
    check_consumer_output "$build/cmake/consumer" "$3-cmake"

    mkdir -p "$build/make"
    cp tests/install/consumer.c tests/install/Makefile "$build/make/"
    PKG_CONFIG_PATH="$1/$2/pkgconfig" make -s -C "$build/make" >/dev/null
    check_consumer_output "$build/make/consumer" "$3-make"
    cmp -s "$scratch/$3-cmake.out" "$scratch/$3-make.out" || fail "$3: the two builds differ"
    echo "consumer built against $3 with find_package and with pkg-config: ok"
}

# Completes the last of the given words as bash would; prints the candidates.
complete_words() { # <completion file> <word>...
    bash -c 'source "$1"; shift
        compopt() { :; }
        COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _joint2si
        printf "%s\n" "${COMPREPLY[*]}"' completion "$@"
}

check_completion() { # <completion file>
    local cases=(
        "kg T N daN kN lbf kip false|joint2si -f ''"
        "kg kN kip|joint2si -f k"
        "kN|joint2si -m Nm -f kn"
        "kgm Tm Nm daNm kNm lbf-in lbf-ft kip-in kip-ft false|joint2si -f kN -m ''"
        "lbf-in lbf-ft|joint2si -m LBF-"
        "--recursive|joint2si --rec"
        "--backup --backup=|joint2si --ba"
        "--recursive --dry-run --backup --backup= --suffix --suffix= --force --allow-dropped-digits --verbose --no-progress --exact --help --version|joint2si --"
        "hall_b.jnt|joint2si -f kN hal"
        "-odd.jnt|joint2si -f kN -- -o"
        "none off numbered t existing nil simple never|joint2si --backup = "
        "numbered|joint2si --backup = nu"
        "|joint2si --suffix = "
    )
    local entry expected words
    (
        cd "$scratch/completion"
        for entry in "${cases[@]}"; do
            expected=${entry%%|*}
            eval "words=(${entry#*|})"
            [[ ${entry#*|} == *" " ]] && words+=("")
            got=$(complete_words "$1" "${words[@]}")
            [[ $got == "$expected" ]] || fail "completing '${entry#*|}' gave '$got', not '$expected'"
        done
    )
    echo "bash completion: ${#cases[@]} cases ok"
}

# The completion offers what the program's help names: the same long options
# and the same unit tables (the help says "numerical value" where the completion
# offers "false").
check_completion_matches_help() { # <completion file> <program>
    local help offered named
    help=$("$2" --help 2>&1)
    offered=$(complete_words "$1" joint2si -- | tr ' ' '\n' | grep -v '=$' | sort)
    named=$(grep -oE -- '--[a-z][a-z-]*' <<<"$help" | sort -u)
    [[ $offered == "$named" ]] ||
        fail "the completion offers $(echo $offered) but the help names $(echo $named)"
    for option in f m; do
        offered=$(complete_words "$1" joint2si "-$option" '' | tr ' ' '\n' | grep -vx false | sort)
        named=$(awk -v option="-$option" '$1 == option { text = $0; on = 1; next }
                on && $1 ~ /^-/ { on = 0 } on { text = text $0 }
                END { sub(/^[^(]*\(/, "", text); sub(/\).*$/, "", text); gsub(/[ \t]/, "", text); print text }' <<<"$help" |
            tr '/' '\n' | grep -vx numericalvalue | sort)
        [[ -n $named && $offered == "$named" ]] || fail "-$option completes other units than the help names"
    done
    echo "bash completion matches the program's help: ok"
}

echo "==> Debian packages (at ${SECONDS} s)"
scripts/package.sh deb

echo "==> Install into a temporary prefix (at ${SECONDS} s)"
prefix="$scratch/prefix"
cmake --install build/package --prefix "$prefix" >/dev/null
libdir=$(sed -n 's/^CMAKE_INSTALL_LIBDIR:PATH=//p' build/package/CMakeCache.txt)
build_consumers "$prefix" "$libdir" prefix
mkdir -p "$scratch/completion" && touch "$scratch/completion/hall_b.jnt" "$scratch/completion/-odd.jnt"
check_completion "$prefix/share/bash-completion/completions/joint2si"
[[ -f $prefix/share/man/man1/joint2si.1.gz ]] || fail "no manual page in the prefix"

echo "==> The Debian packages unpacked into a scratch root (at ${SECONDS} s)"
root="$scratch/root"
for deb in build/packages/*.deb; do
    dpkg -x "$deb" "$root"
    dpkg -c "$deb" | awk '$1 !~ /^d/ {print "  " $6}' | sed "s|^  \./|  $(basename "$deb"): /|"
done
mkdir -p "$scratch/run" && cp examples/hall_b.jnt "$scratch/run/"
(cd "$scratch/run" && "$root/usr/bin/joint2si" -f kN -m kNm hall_b.jnt) ||
    fail "the packaged program failed"
grep -qx 'axial_force -340250.000000' "$scratch/run/hall_b.jnt" ||
    fail "the packaged program did not convert the file"
echo "packaged program converted a scratch copy of examples/hall_b.jnt: ok"
check_completion_matches_help "$root/usr/share/bash-completion/completions/joint2si" "$root/usr/bin/joint2si"
deb_libdir=$(cd "$root/usr" && dirname "$(find lib -name libtools.a)")
build_consumers "$root/usr" "$deb_libdir" deb

echo "==> Windows zip (at ${SECONDS} s)"
scripts/package.sh zip
wineprefix="$PWD/build/windows/wineprefix"
wine=/usr/lib/wine/wine64
[[ -x $wine ]] || wine=$(command -v wine64 || true)
if [[ -d $wineprefix && -n $wine ]]; then
    (cd "$scratch" && unzip -q "$source"/build/packages/joint2si-*-win64.zip)
    cp examples/hall_b.jnt "$scratch/run/zip.jnt"
    (cd "$scratch/run" && WINEPREFIX="$wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
        "$wine" "$scratch"/joint2si-*-win64/joint2si.exe -f kN -m kNm zip.jnt </dev/null) ||
        fail "the zipped program failed under Wine"
    tr -d '\r' <"$scratch/run/zip.jnt" | grep -qx 'axial_force -340250.000000' ||
        fail "the zipped program did not convert the file"
    echo "zipped program converted a scratch copy under Wine: ok"
else
    echo "no Wine prefix from the Windows tests: the zipped program is not run"
fi
unzip -l build/packages/joint2si-*-win64.zip
echo "install and package tests passed in ${SECONDS} s"
