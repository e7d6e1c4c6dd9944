#!/usr/bin/env bash
# Installs the Debian packages that are missing for building (and, with
# --test, for testing). Runs apt-get only when something is missing.
# --list-build prints the build list, one package a line, and installs
# nothing (scripts/check-deps.sh reads it).
set -euo pipefail

build_packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libqt6sql6-psql qt6-charts-dev
    libgl-dev libqt6opengl6-dev zlib1g-dev libfreexl-dev libminizip-dev libxlsxwriter-dev libsqlite3-dev libsodium-dev libpq-dev fonts-noto-cjk fonts-wqy-microhei fonts-arphic-uming
    qt6-translations-l10n dpkg-dev file
)
test_packages=(
    postgresql python3-xlrd python3-xlwt python3-openpyxl poppler-utils xvfb xauth imagemagick sqlite3 clang-format
    desktop-file-utils appstream
)

if [[ "${1:-}" == "--list-build" ]]; then
    printf '%s\n' "${build_packages[@]}"
    exit 0
fi

wanted=("${build_packages[@]}")
if [[ "${1:-}" == "--test" ]]; then
    wanted+=("${test_packages[@]}")
fi

missing=()
for p in "${wanted[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
if [[ ${#missing[@]} -eq 0 ]]; then
    exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then
    sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
