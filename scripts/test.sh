#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test.
#   BUILD_DIR=dir     build tree (default: build)
#   SANITIZE=ON       build with AddressSanitizer and UndefinedBehaviorSanitizer
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build_dir=${BUILD_DIR:-build}
sanitize=${SANITIZE:-OFF}
bench=ON
if [ "$sanitize" = ON ]; then bench=OFF; fi
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUILLANE_BUILD_APP=ON -DQUILLANE_SANITIZE="$sanitize" -DQUILLANE_BUILD_BENCH="$bench"
cmake --build "$build_dir"
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
ctest --test-dir "$build_dir" --output-on-failure -j2
