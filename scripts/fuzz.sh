#!/bin/sh
# Builds the saved report fuzz target with clang and runs it.
#   scripts/fuzz.sh [build folder] [seconds]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"${TMPDIR:-/tmp}/corvana-fuzz"}
seconds=${2:-600}
cmake -S "$root" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCORVANA_FUZZ=ON \
    -DCORVANA_BUILD_TESTS=OFF -DCORVANA_BUILD_BENCH=OFF
cmake --build "$build" -j2 --target saved_report_fuzz
corpus="$build/fuzz-corpus"
mkdir -p "$corpus"
CORVANA_FUZZ_SEED_DIR="$corpus" QT_QPA_PLATFORM=offscreen \
    "$build/bin/saved_report_fuzz" -max_total_time="$seconds" "$corpus"
