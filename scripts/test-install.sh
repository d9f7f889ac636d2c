#!/usr/bin/env bash
# Checks what an installation and the packages deliver:
# 1. the release build installed into a temporary prefix: the consumer program in
#    tests/install/ built against it once through find_package (CMake) and once
#    through pkg-config (make), both run; the bash completion answers;
# 2. the Debian packages (scripts/package.sh deb, lintian clean of errors)
#    unpacked with dpkg -x into a scratch root: the program converts a scratch
#    copy of an example from there, and the consumer builds against the -dev
#    package's files;
# 3. the Windows zip (scripts/package.sh zip); when the Windows tests have left a
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
        "--recursive --dry-run --backup --backup= --verbose --no-progress --exact --help --version|joint2si --"
        "hall_b.jnt|joint2si -f kN hal"
        "-odd.jnt|joint2si -f kN -- -o"
        "|joint2si --backup = "
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

echo "==> Install the release build into a temporary prefix"
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target joint2si libtools manual_page
prefix="$scratch/prefix"
cmake --install build/release --prefix "$prefix" >/dev/null
libdir=$(sed -n 's/^CMAKE_INSTALL_LIBDIR:PATH=//p' build/release/CMakeCache.txt)
build_consumers "$prefix" "$libdir" prefix
mkdir -p "$scratch/completion" && touch "$scratch/completion/hall_b.jnt" "$scratch/completion/-odd.jnt"
check_completion "$prefix/share/bash-completion/completions/joint2si"
[[ -f $prefix/share/man/man1/joint2si.1.gz ]] || fail "no manual page in the prefix"

echo "==> Debian packages"
scripts/package.sh deb
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
deb_libdir=$(cd "$root/usr" && dirname "$(find lib -name libtools.a)")
build_consumers "$root/usr" "$deb_libdir" deb

echo "==> Windows zip"
scripts/package.sh zip
wineprefix="$PWD/build/windows/wineprefix"
wine=/usr/lib/wine/wine64
[[ -x $wine ]] || wine=$(command -v wine64 || true)
if [[ -d $wineprefix && -n $wine ]]; then
    (cd "$scratch" && unzip -q "$source"/build/packages/joint2si-*-win64.zip)
    cp examples/hall_b.jnt "$scratch/run/zip.jnt"
    (cd "$scratch/run" && WINEPREFIX="$wineprefix" WINEDEBUG=-all \
        "$wine" "$scratch"/joint2si-*-win64/joint2si.exe -f kN -m kNm zip.jnt </dev/null) ||
        fail "the zipped program failed under Wine"
    tr -d '\r' <"$scratch/run/zip.jnt" | grep -qx 'axial_force -340250.000000' ||
        fail "the zipped program did not convert the file"
    echo "zipped program converted a scratch copy under Wine: ok"
else
    echo "no Wine prefix from the Windows tests: the zipped program is not run"
fi
unzip -l build/packages/joint2si-*-win64.zip
