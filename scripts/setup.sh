#!/usr/bin/env bash
# Installs the Debian packages Quorrel needs to build, run and test, and only
# those that are missing; does nothing when everything is there.
set -euo pipefail

packages=(
    cmake g++ make pkg-config
    qtbase5-dev qtbase5-dev-tools libqt5opengl5-dev libqcustomplot-dev
    libdevil-dev libopenjp2-7-dev libpng-dev libjpeg-dev libtiff-dev libdcmtk-dev nlohmann-json3-dev
    libgl1-mesa-dri libglu1-mesa-dev
    libgtest-dev clang-format
    xvfb xauth xdotool
    fonts-dejavu-core
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    if [ "$(id -u)" -ne 0 ]; then
        sudo_cmd=(sudo)
    fi
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
