#!/usr/bin/env bash
# Builds Quillent into build/ (programs in build/bin/). Assumes scripts/install-deps.sh has run.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
