#!/usr/bin/env bash
# Installs what building and testing irconsole needs on a fresh Debian machine.
# Quiet and quick when everything is already there.
set -euo pipefail

packages=(
    cmake ninja-build g++ clang libclang-rt-dev
    qt6-base-dev qt6-serialport-dev qt6-charts-dev qt6-translations-l10n
    libsimpleini-dev libbenchmark-dev libgl-dev
    fonts-wine xvfb xauth xdotool x11-utils imagemagick desktop-file-utils
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
