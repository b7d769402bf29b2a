#!/usr/bin/env bash
# The run command: installs what is missing, builds, writes the demonstration SD card (30 s recordings
# of a drive through Seoul) and starts Quillent on it. Needs a graphical session (X11 or Wayland).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
card=build/democard
if [ ! -d "$card" ]; then
    rm -rf "$card.part"
    build/bin/quillent-samplecard "$card.part" --demo
    mv "$card.part" "$card"
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "scripts/run.sh starts a desktop window: run it in a graphical session (DISPLAY or WAYLAND_DISPLAY" >&2
    echo "is not set). On a machine without one: xvfb-run -s '-screen 0 1600x1000x24' scripts/run.sh" >&2
    exit 2
fi
[ "$(id -u)" -ne 0 ] || export QTWEBENGINE_DISABLE_SANDBOX=1
exec build/bin/quillent "$card"
