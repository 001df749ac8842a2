#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer (plus AddressSanitizer and UBSan) and runs each
# for a bounded time over its committed corpus.
#   FUZZ_SECONDS=n   time per target (default 60)
#   BUILD_DIR=dir    build tree (default build-fuzz)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build_dir=${BUILD_DIR:-build-fuzz}
seconds=${FUZZ_SECONDS:-60}
CC=clang CXX=clang++ cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUILLANE_FUZZ=ON -DQUILLANE_SANITIZE=ON -DQUILLANE_BUILD_BENCH=OFF
targets=(engine flow_graph image_load)
cmake --build "$build_dir" --target "${targets[@]/%/_fuzzer}"
export QT_QPA_PLATFORM=offscreen
status=0
for target in "${targets[@]}"; do
  scratch=$(mktemp -d)
  corpus=tests/fuzz/corpus/$target
  mkdir -p "$corpus"
  echo "== fuzzing $target for ${seconds}s"
  # New inputs go to the scratch folder; the committed corpus is only read.
  if ! "$build_dir/bin/${target}_fuzzer" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=4096 \
      -artifact_prefix="$build_dir/${target}-" "$scratch" "$corpus" 2>&1 | tail -n 25; then
    status=1
  fi
  rm -rf "$scratch"
done
exit $status
