#!/usr/bin/env bash
# The run command: installs what is missing, builds, writes a sample SD card and starts Quillent on it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
card=build/samplecard
[ -d "$card" ] || build/bin/quillent-samplecard "$card"
[ "$(id -u)" -ne 0 ] || export QTWEBENGINE_DISABLE_SANDBOX=1
exec build/bin/quillent "$card"
