#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the packages into build/packages/:
#   deb  joint2si_<version>_<arch>.deb (the program, its manual page and bash
#        completion) and libtools-dev_<version>_<arch>.deb (the library's
#        development files), from the `package` preset; lintian checks both and
#        must report no errors;
#   zip  joint2si-<version>-win64.zip (joint2si.exe, the README and the manual as
#        text), from the optimised Windows cross build, the `windows-release` preset.
# Usage: scripts/package.sh [deb] [zip]     (both when none is named)
set -euo pipefail
cd "$(dirname "$0")/.."

out="$PWD/build/packages"
mkdir -p "$out"

build_deb() {
    scripts/ensure-deps.sh dpkg-dev file lintian # dpkg-shlibdeps, and file for CPack to find the programs
    cmake --preset package
    cmake --build --preset package -j "$(nproc)"
    rm -f "$out"/*.deb
    (cd build/package && cpack -G DEB -B "$out")
    echo "==> lintian"
    lintian --fail-on error "$out"/*.deb
}

build_zip() {
    scripts/ensure-deps.sh g++-mingw-w64-x86-64-posix libz-mingw-w64-dev groff-base unzip
    cmake --preset windows-release
    cmake --build --preset windows-release -j "$(nproc)"
    rm -f "$out"/*.zip
    (cd build/windows-release && cpack -G ZIP -B "$out")
    local listing
    listing=$(unzip -Z1 "$out"/joint2si-*-win64.zip)
    for expected in joint2si.exe README.md joint2si.txt; do
        if ! grep -q "/$expected\$" <<<"$listing"; then
            echo "The zip holds no $expected" >&2
            exit 1
        fi
    done
}

(($#)) || set -- deb zip
for kind in "$@"; do
    case $kind in
    deb) build_deb ;;
    zip) build_zip ;;
    *)
        echo "usage: scripts/package.sh [deb] [zip]" >&2
        exit 2
        ;;
    esac
done
