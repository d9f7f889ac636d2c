#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the packages into build/packages/:
#   deb  joint2si_<version>_<arch>.deb (the program, its manual page and bash
#        completion) and libtools-dev_<version>_<arch>.deb (the library's
#        development files): the Debian source package (packaging/debian, its
#        control file and changelog written by configuring the `package` preset)
#        is made in build/debian/ from a copy of the sources and built there by
#        dpkg-buildpackage, which runs the test suite (DEB_BUILD_OPTIONS=nocheck
#        skips it); lintian --pedantic checks the source and binary packages and
#        must report no errors and no warnings;
#   zip  joint2si-<version>-win64.zip (joint2si.exe, the README and the manual as
#        text with CR LF line ends), from the optimised Windows cross build, the
#        `windows-release` preset.
# Usage: scripts/package.sh [deb] [zip]     (both when none is named)
set -euo pipefail
cd "$(dirname "$0")/.."

out="$PWD/build/packages"
mkdir -p "$out"

# The sources as git knows them (tracked files and new ones not ignored), copied
# into a fresh tree with the build tree's debian/ directory on top.
assemble_source_tree() { # <destination>
    mkdir -p "$1"
    git ls-files -z --cached --others --exclude-standard |
        while IFS= read -r -d '' file; do [[ -e $file ]] && printf '%s\0' "$file"; done |
        tar --null -T - -cf - | tar -xf - -C "$1"
    cp -a build/package/debian "$1/"
}

build_deb() {
    scripts/ensure-deps.sh dpkg-dev debhelper lintian libdtl-dev libgtest-dev patch strace
    # Configuring writes the debian/ directory with the maintainer and version.
    cmake --preset package >/dev/null
    local version tree
    version=$(dpkg-parsechangelog -l build/package/debian/changelog -S Version)
    tree=build/debian/joint2si-$version
    rm -rf build/debian
    assemble_source_tree "$tree"
    (cd build/debian && dpkg-source --build "joint2si-$version" >/dev/null)
    (cd "$tree" && DEB_BUILD_OPTIONS="parallel=$(nproc) ${DEB_BUILD_OPTIONS:-}" \
        dpkg-buildpackage -us -uc -b)
    rm -f "$out"/*.deb
    # The two packages; the automatic debug symbols package stays in build/debian.
    cp build/debian/joint2si_"$version"_*.deb build/debian/libtools-dev_"$version"_*.deb "$out/"
    echo "==> lintian --pedantic"
    lintian --pedantic --display-info --fail-on error,warning \
        build/debian/joint2si_"$version".dsc build/debian/joint2si_"$version"_*.changes
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
    local text lines
    for text in README.md joint2si.txt; do
        lines=$(unzip -p "$out"/joint2si-*-win64.zip "*/$text" | grep -c '' || true)
        if ((lines == 0)) || unzip -p "$out"/joint2si-*-win64.zip "*/$text" | grep -q $'[^\r]$\|^$'; then
            echo "The zip's $text does not end every line with CR LF" >&2
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
