#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the Debian packages the build needs, when they are missing.
# Usage: scripts/ensure-deps.sh [extra-package ...]
set -euo pipefail

packages=(cmake g++ make zlib1g-dev libgtest-dev libdtl-dev patch strace python3 unicode-data "$@")
missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

if ((${#missing[@]})); then
    echo "Installing missing packages: ${missing[*]}"
    sudo_cmd=()
    if [[ $(id -u) -ne 0 ]]; then
        sudo_cmd=(sudo)
    fi
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
