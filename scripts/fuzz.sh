#!/usr/bin/env bash
# Builds the render road's fuzz target (clang, libFuzzer, AddressSanitizer, UBSan; only the
# libraries it needs) and runs it over the committed seed corpus for the given seconds (60 by
# default, 0 to skip). Any sanitizer report, crash, leak or time-out fails the run; the input
# that caused it is kept in <build>/artifacts.
# Usage: scripts/fuzz.sh [seconds]     build dir: LUMORA_FUZZ_BUILD_DIR (default build-fuzz)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${1:-60}"
[ "$seconds" -gt 0 ] || exit 0
"$root/scripts/setup.sh"

build="${LUMORA_FUZZ_BUILD_DIR:-$root/build-fuzz}"
CC=clang-14 CXX=clang++-14 cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DLUMORA_FUZZ=ON -DLUMORA_TESTS=OFF -DLUMORA_BENCHMARKS=OFF >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target RenderRoadFuzzer

corpus="$(mktemp -d)"
trap 'rm -rf "$corpus"' EXIT
mkdir -p "$build/artifacts"
export QT_QPA_PLATFORM=offscreen
# A canvas of any size may be asked for: allocations too large to make fail as they do without
# the sanitizer, instead of being reported.
export ASAN_OPTIONS="allocator_may_return_null=1:detect_leaks=1"
export LSAN_OPTIONS="suppressions=$root/Tests/Fuzz/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
data="$root/Tests/Data"
"$build/Tests/Fuzz/RenderRoadFuzzer" -max_total_time="$seconds" -rss_limit_mb=2560 -timeout=30 \
  -print_final_stats=1 -artifact_prefix="$build/artifacts/" \
  "$corpus" "$data/fuzz/render-road" "$data/projects" "$data/legacy"
