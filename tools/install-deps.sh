#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing need,
# only those that are missing. Used by run.sh and test.sh.
set -euo pipefail

BUILD_PACKAGES=(
    cmake ninja-build g++ pkg-config ccache
    qt6-base-dev qt6-base-dev-tools qt6-svg-dev
    libsdl2-mixer-dev libx11-dev
)
RUN_PACKAGES=(
    fonts-liberation fonts-dejavu-core timgm6mb-soundfont libqt6network6 xdg-utils file ppp
)
TEST_PACKAGES=(
    libgtest-dev libgmock-dev libbenchmark-dev
    clang libclang-rt-14-dev clang-format clang-tidy
    xvfb xauth openbox trayer xdotool wmctrl x11-utils imagemagick
    desktop-file-utils appstream mandoc lintian dpkg-dev
    network-manager dbus-daemon dbus-bin iproute2 python3 systemd man-db qt6ct
    haskell-status-notifier-item-utils haskell-gtk-sni-tray-utils python3-gi libglib2.0-bin
    at-spi2-core python3-pyatspi gir1.2-atspi-2.0 weston qt6-wayland
    gnome-keyring libsecret-tools
)

packages=("${BUILD_PACKAGES[@]}" "${RUN_PACKAGES[@]}")
if [[ "${1:-}" == "--test" ]]; then packages+=("${TEST_PACKAGES[@]}"); fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
SUDO=()
if [[ $(id -u) -ne 0 ]]; then SUDO=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${SUDO[@]}" apt-get update -qq
"${SUDO[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
