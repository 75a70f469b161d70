#!/usr/bin/env bash
# Installs every Debian package that building, testing and benchmarking Vorlin needs.
# Only what is missing is installed; running it twice is harmless.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config ccache
    qt6-base-dev libqt6opengl6-dev libqt6svg6 qt6-wayland
    libgl-dev libglu1-mesa-dev libgl1-mesa-dri libglx-mesa0 libegl-dev libegl-mesa0 libxcb1-dev
    libwebp-dev libgif-dev
    libassimp-dev libtinygltf-dev libstb-dev assimp-testmodels
    libgtest-dev libgmock-dev libbenchmark-dev
    xvfb xauth openbox x11-utils xdotool fonts-dejavu-core weston
    clang-format locales python3
    clang libclang-rt-14-dev
    dpkg-dev file desktop-file-utils appstream shared-mime-info xdg-utils libfile-mimeinfo-perl
    man-db groff-base bsdextrautils bash-completion
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The tests prove that numbers ignore a decimal-comma locale; they need one to exist.
if ! locale -a 2>/dev/null | grep -qix 'de_DE.utf8'; then
    echo "setup: generating the de_DE.UTF-8 locale"
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
