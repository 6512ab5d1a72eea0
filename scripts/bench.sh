#!/usr/bin/env bash
# Builds and runs the benchmark programs, or the keying accuracy measurement.
# Usage: scripts/bench.sh            every Google Benchmark program, one after the other
#        scripts/bench.sh keying     keying accuracy against the true alpha of generated scenes
#        scripts/bench.sh NAME...    only these programs (e.g. ProcessorBenchmarks), extra
#                                    arguments after -- go to each program
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/setup.sh"
build="${LUMORA_BUILD_DIR:-$root/build}"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMORA_BENCHMARKS=ON >/dev/null

# Every program Benchmarks/CMakeLists.txt declares, read from it so a new one is never left out.
mapfile -t all < <(sed -n 's/^lumora_add_benchmark(\([A-Za-z0-9_]*\).*/\1/p' "$root/Benchmarks/CMakeLists.txt")
[ ${#all[@]} -gt 0 ] || { echo "no benchmark programs found in Benchmarks/CMakeLists.txt" >&2; exit 1; }
programs=()
extra=()
while [ $# -gt 0 ]; do
  case "$1" in
    keying) cmake --build "$build" --target keying-accuracy; exit 0 ;;
    --) shift; extra=("$@"); break ;;
    *) programs+=("$1") ;;
  esac
  shift
done
[ ${#programs[@]} -gt 0 ] || programs=("${all[@]}")

cmake --build "$build" --parallel "$(nproc)" --target "${programs[@]}"
export QT_QPA_PLATFORM=offscreen
for p in "${programs[@]}"; do
  echo "== $p"
  "$build/Benchmarks/$p" "${extra[@]}"
done
