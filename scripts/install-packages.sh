#!/usr/bin/env bash
# Installs the Debian 12 packages kelm needs to build, test and run its demo till (as root).
set -euo pipefail

packages=(
    build-essential cmake pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev
    qt6-charts-dev libqt6opengl6-dev   # the accounts screen's chart; Qt6Charts' CMake files need Qt6OpenGL's
    libsqlite3-dev sqlite3
    libpq-dev unixodbc-dev unixodbc odbc-postgresql tdsodbc postgresql openssl
    libbenchmark-dev
    xvfb xauth fonts-noto-cjk
    libpcsclite-dev pcscd vsmartcard-vpcd
    clang libclang-rt-14-dev llvm-14
    file python3
)
[ "${KELM_WITH_SCREENSHOTS:-0}" = 1 ] && packages+=(imagemagick x11-utils)

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
