#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Checks what an installation and the packages deliver:
# 1. the Debian source package is built and its binary packages with it
#    (scripts/package.sh deb: dpkg-buildpackage, lintian --pedantic clean of
#    errors and warnings; the test suite run by dh_auto_test only when
#    DEB_BUILD_OPTIONS is set without nocheck);
# 2. the packaged program is hardened: a position-independent executable with
#    full RELRO (GNU_RELRO, BIND_NOW), the stack protector and fortified calls;
# 3. the Debian build tree installed into a temporary prefix: the consumer
#    program in tests/install/ built against it through find_package by a C-only
#    CMake project and by one with C++ enabled, and through pkg-config (make,
#    without --static), all run; the bash completion answers;
# 4. the packages unpacked with dpkg -x into a scratch root: the program converts
#    a scratch copy of an example from there, and the consumers build against the
#    -dev package's files the same three ways;
# 5. the Windows zip (scripts/package.sh zip: its texts have CR LF line ends);
#    its program is marked for address-space randomisation (high entropy) and
#    data-execution prevention; when the Windows tests have left a Wine prefix,
#    the zipped program converts a scratch copy under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
source=$PWD

scripts/ensure-deps.sh pkgconf binutils
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
    local build="$scratch/consumer-$3" languages
    for languages in c cxx; do
        cmake -S tests/install -B "$build/cmake-$languages" -DCMAKE_PREFIX_PATH="$1" \
            -DCONSUMER_ENABLE_CXX="$([[ $languages == cxx ]] && echo ON || echo OFF)" >/dev/null
        cmake --build "$build/cmake-$languages" >/dev/null
        check_consumer_output "$build/cmake-$languages/consumer" "$3-cmake-$languages"
    done
    cmp -s "$scratch/$3-cmake-c.out" "$scratch/$3-cmake-cxx.out" ||
        fail "$3: the C and C++ projects' builds differ"

    mkdir -p "$build/make"
    cp tests/install/consumer.c tests/install/Makefile "$build/make/"
    PKG_CONFIG_PATH="$1/$2/pkgconfig" make -s -C "$build/make" >/dev/null
    check_consumer_output "$build/make/consumer" "$3-make"
    cmp -s "$scratch/$3-cmake-c.out" "$scratch/$3-make.out" || fail "$3: the two builds differ"
    echo "consumer built against $3 by a C and a C++ CMake project and with pkg-config --libs: ok"
}

# The hardening the build gives every program, as the ELF headers show it: a
# position-independent executable (type DYN), read-only relocations bound at
# start (GNU_RELRO and BIND_NOW), a stack that cannot execute, the stack
# protector's check and the fortified (_chk) variants of libc calls.
check_hardening() { # <program>
    local header segments dynamic symbols fortified
    header=$(readelf -hW "$1")
    segments=$(readelf -lW "$1")
    dynamic=$(readelf -dW "$1")
    symbols=$(readelf --dyn-syms -W "$1")
    grep -qE '^ *Type: +DYN' <<<"$header" || fail "$1 is no position-independent executable"
    grep -qw GNU_RELRO <<<"$segments" || fail "$1 has no RELRO segment"
    grep -qE 'BIND_NOW|\(FLAGS_1\).*\bNOW\b' <<<"$dynamic" || fail "$1 is not bound now"
    grep -qE '\(FLAGS_1\).*\bPIE\b' <<<"$dynamic" || fail "$1 is not flagged PIE"
    grep -E 'GNU_STACK' <<<"$segments" | grep -qv 'RWE' || fail "$1 has an executable stack"
    grep -qw '__stack_chk_fail' <<<"$symbols" || fail "$1 has no stack protector"
    fortified=$(grep -oE '__[a-z0-9_]+_chk\b' <<<"$symbols" | grep -vx __stack_chk_fail | sort -u)
    [[ -n $fortified ]] || fail "$1 calls no fortified function"
    echo "hardening of $1:"
    grep -E '^ *Type:' <<<"$header"
    grep -E 'GNU_RELRO|GNU_STACK' <<<"$segments"
    grep -E '\((FLAGS|FLAGS_1|BIND_NOW)\)' <<<"$dynamic"
    echo "  stack protector: __stack_chk_fail; fortified calls: $(echo $fortified)"
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
        "--recursive --dry-run --backup --backup= --suffix --suffix= --force --allow-dropped-digits --verbose --no-progress --jobs --jobs= --exact --help --version|joint2si --"
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
# The test suite has run on these sources before this script in continuous
# integration, so the package build skips it unless DEB_BUILD_OPTIONS says
# otherwise (DEB_BUILD_OPTIONS= runs it, as a plain package build does).
DEB_BUILD_OPTIONS=${DEB_BUILD_OPTIONS-nocheck} scripts/package.sh deb

echo "==> Install the Debian build tree into a temporary prefix (at ${SECONDS} s)"
prefix="$scratch/prefix"
deb_build=$(echo build/debian/joint2si-*/obj-*)
[[ -f $deb_build/CMakeCache.txt ]] || fail "no Debian build tree in build/debian"
cmake --install "$deb_build" --prefix "$prefix" >/dev/null
libdir=$(sed -n 's/^CMAKE_INSTALL_LIBDIR:PATH=//p' "$deb_build/CMakeCache.txt")
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
check_hardening "$root/usr/bin/joint2si"
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
(cd "$scratch" && unzip -q "$source"/build/packages/joint2si-*-win64.zip)
# The Windows program's hardening: address-space randomisation with high entropy
# and data-execution prevention, as its PE header's DLL characteristics show them.
pe_header=$(x86_64-w64-mingw32-objdump -p "$scratch"/joint2si-*-win64/joint2si.exe)
for flag in DYNAMIC_BASE HIGH_ENTROPY_VA NX_COMPAT; do
    grep -qw "$flag" <<<"$pe_header" || fail "joint2si.exe lacks $flag"
done
echo "hardening of joint2si.exe: $(grep -E '^DllCharacteristics' <<<"$pe_header" |
    tr -s '\t ' ' ') DYNAMIC_BASE HIGH_ENTROPY_VA NX_COMPAT"
if [[ -d $wineprefix && -n $wine ]]; then
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
