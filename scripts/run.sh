#!/usr/bin/env bash
# Installs what is needed, builds, and starts the window program Corvella.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build_dir=${BUILD_DIR:-build}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build_dir"
exec "$build_dir/bin/Corvella" "$@"
