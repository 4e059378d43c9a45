#!/usr/bin/env bash
# Installs the Debian packages the build needs (when missing), configures and builds.
# Usage: scripts/setup.sh [BUILD_DIR] [extra cmake options...]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
shift || true

packages=(cmake ninja-build g++ pkg-config python3 qt6-base-dev libpugixml-dev libsqlite3-dev libcurl4-openssl-dev
          libfmt-dev libsodium-dev libgtest-dev libgmock-dev libbenchmark-dev
          dbus-daemon dbus-bin python3-dbusmock libpulse-dev pulseaudio)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "installing: ${missing[*]}"
    sudo_cmd=""
    [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
    $sudo_cmd apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}"
fi

cmake -S . -B "$build" -G Ninja "$@"
cmake --build "$build" -j"$(nproc)"
