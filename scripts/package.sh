#!/usr/bin/env bash
# Builds the Debian package, build-package/vorlin_<version>_<arch>.deb, with CPack from a
# release build installed under /usr; its dependencies come from dpkg-shlibdeps. Then checks
# what the package holds.
#   --install-check  also installs it with apt, checks the installed program and the desktop's
#                    file types, and removes it again (needs root or sudo).
#   --clean-check    also installs it into a fresh, minimal Debian 12 made with debootstrap
#                    (root; fetches from the Debian mirror), as a user's clean system would
#                    take it, runs both programs there and removes it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DVORLIN_BUILD_TESTS=OFF -DVORLIN_BUILD_BENCH=OFF >/dev/null
cmake --build build-package
rm -f build-package/vorlin_*.deb
(cd build-package && cpack -G DEB >/dev/null)
deb=$(ls build-package/vorlin_*_*.deb)
fail() { echo "package: FAIL: $*" >&2; exit 1; }

version=$(dpkg-deb -f "$deb" Version)
depends=$(dpkg-deb -f "$deb" Depends)
[[ "$deb" == "build-package/vorlin_${version}_$(dpkg --print-architecture).deb" ]] ||
    fail "named $deb"
for lib in libqt6widgets6 libqt6opengl6 libc6 libstdc++6 qt6-qpa-plugins qt6-wayland libegl-mesa0 libwebp libgif \
    libassimp5 libtinygltf2d libstb0; do
    grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
done
files=$(dpkg-deb -c "$deb")
for f in usr/bin/vorlin usr/bin/vorlin-cli usr/share/applications/vorlin.desktop \
    usr/share/metainfo/org.brennick.vorlin.metainfo.xml usr/share/mime/packages/vorlin.xml \
    usr/share/man/man1/vorlin.1.gz usr/share/man/man1/vorlin-cli.1.gz \
    usr/share/bash-completion/completions/vorlin-cli usr/share/vorlin/vorlin_help.html \
    usr/share/icons/hicolor/scalable/apps/vorlin.svg usr/share/vorlin/sample/sample.gob; do
    grep -q " \./$f\$" <<<"$files" || fail "the package lacks /$f"
done
echo "package: $deb ($version), Depends: $depends"

if [ "${1:-}" = --install-check ]; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "./$deb" >/dev/null
    [ "$(env -u DISPLAY vorlin --version)" = "Vorlin $version" ] ||
        fail "vorlin --version with no display: $(env -u DISPLAY vorlin --version 2>&1)"
    # The package brings what drawing with no display needs.
    shot=$(mktemp --suffix=.webp)
    env -u DISPLAY vorlin-cli render /usr/share/vorlin/sample/3do/sample.3do \
        /usr/share/vorlin/sample/3do/key/walk.key --out "$shot" --size 64x48 ||
        fail "vorlin-cli render"
    rm -f "$shot"
    home=$(mktemp -d)
    kind=$(XDG_DATA_HOME=$home XDG_CONFIG_HOME=$home xdg-mime query filetype \
        /usr/share/vorlin/sample/3do/key/walk.key)
    app=$(XDG_DATA_HOME=$home XDG_CONFIG_HOME=$home xdg-mime query default "$kind")
    rm -rf "$home"
    [ "$kind" = application/x-jk-key ] || fail "walk.key is $kind"
    [ "$app" = vorlin.desktop ] || fail "the default for KEY files is '$app'"
    DEBIAN_FRONTEND=noninteractive $sudo apt-get remove -y -qq vorlin >/dev/null
    [ ! -e /usr/bin/vorlin ] && [ ! -e /usr/share/vorlin ] || fail "apt remove left files"
    echo "package: installed, checked and removed"
fi

if [ "${1:-}" = --clean-check ]; then
    [ "$(id -u)" -eq 0 ] || fail "--clean-check needs root"
    command -v debootstrap >/dev/null ||
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap >/dev/null
    root=$(mktemp -d)
    trap 'umount "$root/proc" 2>/dev/null || true; rm -rf "$root"' EXIT
    debootstrap --variant=minbase bookworm "$root" http://deb.debian.org/debian >/dev/null
    cp "$deb" "$root/tmp/"
    mount -t proc proc "$root/proc"
    chroot "$root" bash -euc '
        export DEBIAN_FRONTEND=noninteractive QT_QPA_PLATFORM=offscreen
        # apt talks of the missing /dev/pts here: its words are shown only when it fails.
        apt() { apt-get -y -qq "$@" >/tmp/apt.log 2>&1 || { cat /tmp/apt.log; return 1; }; }
        apt update
        apt install /tmp/vorlin_*.deb
        unset DISPLAY QT_QPA_PLATFORM
        vorlin --version
        vorlin-cli key check /usr/share/vorlin/sample/3do/key/walk.key >/dev/null
        vorlin-cli render /usr/share/vorlin/sample/3do/sample.3do \
            /usr/share/vorlin/sample/3do/key/walk.key --out /tmp/walk.gif --size 64x48
        apt remove vorlin
        [ ! -e /usr/bin/vorlin ]' || fail "the package on a clean Debian 12"
    echo "package: installed, run and removed on a clean Debian 12"
fi
