#!/bin/bash
# Builds the fuzz targets with clang and runs one: fuzz/run.sh TARGET [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:?usage: fuzz/run.sh TARGET [SECONDS]}
seconds=${2:-600}
dir=build-fuzzer
[ -f $dir/CMakeCache.txt ] || CC=clang CXX=clang++ cmake -S . -B $dir -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVUMO_LIBFUZZER=ON -DVUMO_GUI=OFF -DVUMO_BENCH=OFF -DVUMO_TESTS=OFF
cmake --build $dir -j2 --target "$target"
mkdir -p $dir/corpus/$target
exec $dir/fuzz/$target -max_total_time="$seconds" -rss_limit_mb=4096 -timeout=10 \
  $dir/corpus/$target fuzz/corpus/$target
