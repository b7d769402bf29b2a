#!/usr/bin/env bash
# The test command: installs what is missing, builds everything into build/ and runs every test,
# then builds the core library with AddressSanitizer/UndefinedBehaviorSanitizer (clang) into
# build-asan/ and runs the core tests and a short smoke run of each fuzzer there.
set -euo pipefail
cd "$(dirname "$0")/.."
step_start=$SECONDS
step() { # step <name>: how long the step before it took
    echo "== $1 ($((SECONDS - step_start)) s)"
    step_start=$SECONDS
}
scripts/install-deps.sh
step "installed"
scripts/build.sh
step "built"

export QT_QPA_PLATFORM=offscreen
[ "$(id -u)" -ne 0 ] || export QTWEBENGINE_DISABLE_SANDBOX=1
(cd build && ctest --output-on-failure -j2)
step "tests passed"

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
    -DQUILLENT_CORE_ONLY=ON -DQUILLENT_SANITIZE=ON -DQUILLENT_FUZZ=ON
cmake --build build-asan -j"$(nproc)"
step "sanitizer build done"
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j2)
step "sanitizer tests and fuzzers passed"
