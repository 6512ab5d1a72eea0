#!/usr/bin/env bash
# Builds and runs the benchmark programs, or the keying accuracy measurement.
# Usage: scripts/bench.sh            every Google Benchmark program, one after the other
#        scripts/bench.sh keying     keying accuracy against the true alpha of generated scenes
#        scripts/bench.sh NAME...    only these programs (e.g. ProcessorBenchmarks), extra
#                                    arguments after -- go to each program
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/setup.sh"
# The export benchmark compares its road with the vips command; only benchmarks need it, not the build
# or the tests.
if ! command -v vips >/dev/null 2>&1; then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  echo "bench: installing libvips-tools"
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends libvips-tools ||
    { $SUDO apt-get -o DPkg::Lock::Timeout=600 update -qq &&
      DEBIAN_FRONTEND=noninteractive $SUDO apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends libvips-tools; } ||
    echo "bench: libvips-tools could not be installed; the vips comparison is skipped" >&2
fi
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
